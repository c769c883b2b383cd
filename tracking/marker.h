// Square marker detection: candidate regions, outline tracing, corner finding,
// sub-pixel edge lines, identification and frame-to-frame continuity.
#pragma once

#include <cstdint>

#include "tracking/labeling.h"
#include "tracking/pattern.h"

struct DetectedMarker {
    int area;
    int id;           // -1 when unidentified
    int orientation;  // matched rotation 0..3, -1 when nothing matched
    double confidence;
    double center[2];     // observed image coordinates
    double lines[4][3];   // side k: a*x + b*y + c = 0, ideal coordinates
    double corners[4][2]; // corner k = side k-1 meets side k, ideal coordinates
    bool refined = false;  // lines and corners re-located on the grey values (refine.h)
    bool remembered = false;  // not seen in this frame: kept from a recent one (applyMarkerHistory)
};

// Squares one frame yields at most: the classic limit, and the room for a sheet of many markers
// (whose inner squares count until nested ones are removed); see setCandidateLimit.
constexpr int kMaxCandidates = 30;
constexpr int kCandidateRoom = 128;
constexpr int kMaxContourPoints = 10000;
// Current markers plus one remembered entry per pattern id.
constexpr int kMaxDetectedMarkers = kCandidateRoom + kMaxPatterns;
constexpr int kMaxAreaDefault = 100000;
constexpr int kMinAreaDefault = 70;
// Frames up to this many pixels keep kMaxAreaDefault; in larger ones a marker may fill a third of
// the frame, as it may at 640 x 480.
constexpr int kMaxAreaFramePixels = 1048576;

struct MarkerCandidate {
    int area;
    double center[2];
    int pointCount;
    int contourX[kMaxContourPoints];
    int contourY[kMaxContourPoints];
    int cornerIndex[5];
};

// 0, or -1 when labeling failed (count 0).
int detectMarkers(const uint8_t* frame, int threshold, DetectedMarker** markers, int* count);
// Forgets the markers remembered from earlier frames.
void resetMarkerHistory();

// Largest region area taken for a marker in a frame of this size.
int largestMarkerArea(int width, int height);
// Candidates and identified markers of one labeling, before frame-to-frame continuity.
int markersFromLabels(const uint8_t* frame, const LabelResult& labels, DetectedMarker* markers, int* count);

// How many candidates extraction keeps before it stops scanning regions: kMaxCandidates (at the
// start) up to kCandidateRoom.
void setCandidateLimit(int limit);

int extractCandidates(const Label* labelImage, int regionCount, const int* labelTable, const int* areas,
                      const double* centroids, const int* boundingBoxes, int maxArea, int minArea, double factor,
                      MarkerCandidate** candidates, int* count);
// Traces the clockwise outline of final region `region`; 0 or -1.
int traceContour(const Label* labelImage, const int* labelTable, int region, const int* boundingBox,
                 MarkerCandidate* candidate);
int checkSquare(MarkerCandidate* candidate, int area, double factor);
// Appends to corners[*cornerCount] the outline points between s and e farther than sqrt(threshold)
// from the chord, recursively; at most 6. 0 or -1.
int findCorners(const int* x, const int* y, int s, int e, double threshold, int corners[6], int* cornerCount);
int fitEdgeLines(const MarkerCandidate* candidate, const double distortion[4], double lines[4][3],
                 double corners[4][2]);
int buildDetectedMarkers(const uint8_t* frame, const MarkerCandidate* candidates, int candidateCount,
                         DetectedMarker* markers, int* markerCount);
// Smooths ids across frames and appends recently lost markers; returns the new count.
int applyMarkerHistory(DetectedMarker* markers, int count, int capacity);
