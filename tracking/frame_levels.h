// Brightness levels read from a frame's histogram: where the dark things end and the light begin.
#pragma once

#include <cstdint>
#include <vector>

struct LevelHistogram {
    int bins[256] = {};  // pixels per level (channel sum / 3), from a sparse grid of the frame
    int total = 0;
};

// Histogram of about 20000 pixels spread evenly over a 4-byte-per-pixel frame.
void measureLevels(const uint8_t* frame, int width, int height, LevelHistogram* histogram);
// Levels in the valleys between the histogram's peaks, darkest first, at most `most`: each
// separates a darker group of pixels (such as a marker's border) from a lighter one.
std::vector<int> valleyLevels(const LevelHistogram& histogram, int most);
// The level below which `share` of the sampled pixels lie.
int percentileLevel(const LevelHistogram& histogram, double share);
