// Marker patterns: the text pattern file, the loaded template store, and identification
// of a square by resampling its interior and correlating it with every template.
#pragma once

#include <cstdint>
#include <string>

constexpr int kMaxPatterns = 50;
constexpr int kPatternSize = 16;
constexpr int kPatternCells = kPatternSize * kPatternSize * 3;  // 768, order row, column, channel
constexpr int kPatternFileValues = 4 * kPatternCells;           // orientation, channel, row, column

// Returns the new pattern id (slot), or -1 (missing file, short file, store full).
int loadPattern(const char* path);
// loadPattern that also refuses a file with an orientation without contrast
// (all values equal), which loadPattern accepts but which can never match.
// On -1, `why` names the file and the cause: the line of a malformed value,
// the reason a file cannot be opened, or the 50-pattern limit.
int loadPatternChecked(const char* path, std::string* why);
// Writes 3072 values (file order: orientation, channel, row, column) as a pattern file, whole
// or not at all; 0, or -1 with the reason in `why`.
int savePatternFile(const char* path, const uint8_t values[kPatternFileValues], std::string* why = nullptr);
// Empties the store so that tools and tests can start afresh.
void clearPatterns();
int loadedPatternCount();
// The largest correlation of loaded pattern a's first orientation with any orientation of
// pattern b: 1 for the same picture, in any quarter turn. 0 when either slot is empty.
double patternLikeness(int a, int b);

// Grid steps along a side whose squared length is `squaredSide`: 16, 32 or 64.
int patternGridSize(int squaredSide);
// Perspective map from the pattern plane square (100..110) to the four corner pixels.
int fitSquareHomography(const double x[4], const double y[4], double h[8]);
// Returns -1 when a sample's perspective denominator is zero (degenerate quadrilateral).
int samplePattern(const uint8_t* frame, const double h[8], const double x[4], const double y[4],
                  uint8_t sample[kPatternCells]);
void matchPattern(const uint8_t sample[kPatternCells], int* id, int* orientation, double* confidence);
// A degenerate corner quadrilateral is reported as unidentified: id -1, orientation -1, confidence 0.
void identifyMarker(const uint8_t* frame, const int* contourX, const int* contourY, const int cornerIndex[4], int* id,
                    int* orientation, double* confidence);
