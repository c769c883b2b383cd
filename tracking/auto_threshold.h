// Detection that chooses its own binarisation, for light far from what a fixed threshold suits.
#pragma once

#include <cstdint>

#include "tracking/marker.h"

constexpr int kDefaultThreshold = 100;

// Like detectMarkers, but chooses how to binarise each frame: first the way that found a marker in
// the last frame (at the start the global threshold itself); when that identifies no marker, at most
// two more ways from a fixed plan (per-tile levels, the first valley of the frame's histogram, a level
// halfway from its darkest pixels to its typical ones, the second valley), the next frame going on
// where this one stopped, so that each frame's search is bounded. The first way that identifies a
// marker is kept for the next frames, also through frames where none is found; when none does, a
// second look with wider tiles at a per-tile way's places may (lookAgain). threshold minus
// kDefaultThreshold shifts every level tried. Returns 0, or -1 when every labeling tried failed
// (count 0).
int detectMarkersAuto(const uint8_t* frame, int threshold, DetectedMarker** markers, int* count);
// Back to the plain threshold for the next frame (the marker history is kept: resetMarkerHistory).
void resetAutoThreshold();

struct AutoThresholdStatus {
    bool local = false;  // the last frame was labelled with per-tile levels
    int level = kDefaultThreshold;  // otherwise with this global level, before the shift
    int attempts = 0;    // labelings the last frame took
    bool found = false;  // one of them identified a marker
};
AutoThresholdStatus autoThresholdStatus();
