// The brightness a found marker's border has, and that of the light around it: where a global
// level belongs for that marker.
#pragma once

#include <cstdint>

#include "tracking/marker.h"

// Samples just inside and just outside the sides of every identified marker (frame of the tracker
// image size). dark: nearly the brightest of the border samples; light: nearly the darkest of the
// surrounding ones (levels 0..255). False when no identified marker could be sampled.
bool measureMarkerLevels(const uint8_t* frame, const DetectedMarker* markers, int count, int* dark, int* light);
