// Sub-pixel position of a dark-to-light edge where it crosses one pixel row or column.
#pragma once

#include <cstdint>

struct GreyFrame {
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
};

struct EdgeCrossing {
    double position;    // along the row or column
    double transition;  // sum over the window of how far each dark share is from 0 and 1
};

// Two readings of the crossing, which go wrong in different ways. By area: each pixel covers
// one unit of the row, so the shares of darkness summed over the window give the dark length up
// to the crossing; exact for a straight edge however the pixels sample it and however it is
// blurred, given the levels. The dark level comes from the two pixels before the window, the
// light level from a straight line through the three after it, so a lit surface next to the
// marker does not move the edge, but one that bends within a few pixels (texture) does, the
// more the wider the window. By rise: where the grey value rises fastest; the surface hardly
// moves it, but it is noisier and on sharp edges leans towards pixel centres. A sharp edge
// (half window 1) is read by area, a blurred one by the mean of both, a probe by rise.

// False when the profile leaves the frame, has too little contrast, its levels are not flat
// (texture, another edge), or the edge lies outside the window or fills it.
bool edgeCrossing(const GreyFrame& frame, const EdgeProfileQuery& query, EdgeCrossing* crossing);
