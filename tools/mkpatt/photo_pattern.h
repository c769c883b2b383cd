#pragma once
// Marker patterns from photographs: the tracker finds the marker square in a
// photo, samples its inside exactly as it samples markers while tracking, and
// the samples of several photos, turned to agree, are averaged.

#include <cstdint>
#include <string>

#include "tracking/pattern.h"

// One photo's sample: 16 x 16 cells x 3 bytes (B, G, R), order row, column, channel.
struct PhotoSample {
    uint8_t cells[kPatternCells];
    int area = 0;       // pixels of the marker's dark border region
    int threshold = 0;  // the threshold at which it was found
};

// Finds the largest marker-like square in a frame of the installed tracker
// image size: a square outline whose edges fit lines, whose inside is not
// uniform, at least 40 pixels a side, with a black border clearly darker than
// the paper around it. Tries `threshold`, or, when it is negative, the usual
// threshold and then others around it. The sample is turned so that its top
// edge is the square's edge nearest to the top of the photo. False when there
// is none, with why the squares found were refused in `why` (empty when none).
bool samplePhotoMarker(const uint8_t* frame, int threshold, PhotoSample* sample, std::string* why);

// The cells turned as the pattern file's orientations turn: a quarter turn
// `turns` times.
void turnCells(const uint8_t* in, int turns, uint8_t* out);

// Sums of aligned samples. The first sample sets the orientation; each later
// one is turned to agree with the sum so far.
struct PatternAverage {
    double sums[kPatternCells] = {};
    int count = 0;
};
void addToAverage(const PhotoSample& sample, PatternAverage* average);
// The four orientations in pattern file order.
void averageToPatternValues(const PatternAverage& average, uint8_t values[kPatternFileValues]);
