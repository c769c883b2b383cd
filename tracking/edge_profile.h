// Sub-pixel position of a dark-to-light edge where it crosses one pixel row or column.
#pragma once

#include <cstdint>

struct BgrxFrame {
    const uint8_t* bgrx;  // 4 bytes per pixel, row 0 at the top
    int width;
    int height;
};

// Widest transition window (pixels to each side of the predicted crossing) a profile may use.
constexpr int kMaxEdgeHalfWindow = 4;

// One pixel row (alongRows) or column, read through a straight edge near `predicted` (the
// coordinate along the row or column, pixel centres at integers). `lightAhead`: the light side
// lies towards larger coordinates.
struct EdgeProfileQuery {
    bool alongRows;
    int line;  // the row's y or the column's x
    double predicted;
    bool lightAhead;
    int halfWindow;  // 1..kMaxEdgeHalfWindow pixels each side of the predicted crossing
    bool probe;      // a first reading for the edge's place and width: wider transitions pass
    bool clearBeyond = false;  // the light must also hold for two pixels past where its level is read
};

struct EdgeCrossing {
    double position;    // along the row or column
    double transition;  // sum over the window of how far each dark share is from 0 and 1
    double darkToLight; // the dark level over the light one
};

// Read by area (exact for a straight edge at known levels) and by the steepest rise (less moved
// by a surface that bends beside it): sharp edges by area, blurred by both, a probe by rise.
// False when the profile leaves the frame, has too little contrast, its levels are not flat
// (texture, another edge), or the edge lies outside the window or fills it.
bool edgeCrossing(const BgrxFrame& frame, const EdgeProfileQuery& query, EdgeCrossing* crossing);
