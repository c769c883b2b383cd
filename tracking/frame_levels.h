// Brightness levels read from a frame's histogram: where the dark things end and the light begin.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct LevelHistogram {
    int bins[256] = {};  // points per level (channel sum / 3)
    int total = 0;
};

// Histogram of about 8000 of `count` channel sums spread evenly over them.
void measureLevels(const uint16_t* sums, size_t count, LevelHistogram* histogram);
// Levels in the valleys between the histogram's peaks, darkest first, at most `most`: each
// separates a darker group of pixels (such as a marker's border) from a lighter one.
std::vector<int> valleyLevels(const LevelHistogram& histogram, int most);
// The level below which `share` of the sampled pixels lie.
int percentileLevel(const LevelHistogram& histogram, double share);
