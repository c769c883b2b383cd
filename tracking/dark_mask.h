// Marking the dark pixels of one frame row: the per-pixel test of labeling, done ahead of the
// scan so that it runs on whole vectors and the scan can skip bright stretches.
#pragma once

#include <cstdint>

// dark[i] = 1 when the three channel bytes of 4-byte pixel i sum to at most `limit`, else 0.
void markDarkPixels(const uint8_t* pixels, int count, int limit, uint8_t* dark);
// The same with a limit per pixel.
void markDarkPixelsVarying(const uint8_t* pixels, int count, const int* limits, uint8_t* dark);
// The same test on channel sums already made (a sampled copy of a frame), one uint16 per point.
void markDarkSums(const uint16_t* sums, int count, int limit, uint8_t* dark);
