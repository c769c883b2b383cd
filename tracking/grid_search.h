// Marker search on a reduced copy of the frame, each find confirmed on the frame itself: the
// cost of a search grows with the reduced copy, not with the frame.
#pragma once

#include <cstdint>

#include "tracking/frame_grid.h"
#include "tracking/marker.h"

// How channel sums are binarised: one global level, or per-tile levels from the local dark and light.
struct Binarisation {
    bool local = false;
    int level = 0;  // global: the level, 0..255 (a sum at most 3 * level is dark); local: unused
    int shift = 0;  // added to every level (the user's threshold minus the default)
};

// The frame's reduction: the smallest power of two that brings the width to 480 points or fewer.
int searchStep(int frameWidth);
// The reduced copy of a frame of the tracker's image size.
void reduceFrame(const uint8_t* frame, FrameGrid* reduced);

// Binarises the reduced copy, takes its square-looking regions and detects each again on the
// frame around it at (nearly) full size with the same binarisation. Writes the markers found
// (identified or not, at most kCandidateRoom) to `markers` and the number of regions it confirmed
// to `confirmed`. False when the reduced copy could not be labelled (too many specks).
bool searchReducedFrame(const uint8_t* frame, const FrameGrid& reduced, const Binarisation& b, DetectedMarker* markers,
                        int* count, int* confirmed);
// Confirms again the places the last search confirmed without identifying a marker, when it used
// per-tile levels and a pattern is loaded: with wider tiles and a limit nearer the middle of their
// dark and light, which keep a border whole where a shadow's edge crosses it. Writes the markers
// found there (at most kCandidateRoom) and returns their count.
int lookAgain(const uint8_t* frame, DetectedMarker* markers);

// One of the markers is identified well enough to be taken for its pattern.
bool identifiesMarker(const DetectedMarker* markers, int count);
