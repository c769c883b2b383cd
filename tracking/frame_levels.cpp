#include "tracking/frame_levels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kSmoothRadius = 3;
constexpr int kTargetSamples = 8000;
// A peak holds at least this share of the samples per level; a valley counts when the lower of
// its two peaks is this many times as high as its bottom.
constexpr double kPeakShare = 0.0002;
constexpr double kValleyDepth = 2.0;

// Triangle-weighted smoothing: sensor noise splits one group of pixels into several small peaks.
void smooth(const LevelHistogram& h, double out[256]) {
    for (int v = 0; v < 256; v++) {
        double sum = 0, weights = 0;
        for (int k = -kSmoothRadius; k <= kSmoothRadius; k++) {
            int u = v + k;
            if (u < 0 || u > 255) continue;
            double w = kSmoothRadius + 1 - std::abs(k);
            sum += w * h.bins[u];
            weights += w;
        }
        out[v] = sum / weights;
    }
}

bool isPeak(const double s[256], int v) {
    for (int k = -kSmoothRadius; k <= kSmoothRadius; k++) {
        int u = v + k;
        if (k == 0 || u < 0 || u > 255) continue;
        if (s[u] > s[v] || (s[u] == s[v] && u < v)) return false;
    }
    return true;
}

std::vector<int> findPeaks(const double s[256], int total) {
    std::vector<int> peaks;
    for (int v = 0; v < 256; v++)
        if (s[v] > kPeakShare * total && isPeak(s, v)) peaks.push_back(v);
    return peaks;
}

// Middle of the low stretch between peaks a and b, or -1 when the dip is too shallow.
int valleyBetween(const double s[256], int a, int b, int total) {
    int bottom = a;
    for (int v = a; v <= b; v++)
        if (s[v] < s[bottom]) bottom = v;
    double shoulder = std::min(s[a], s[b]);
    if (shoulder / (s[bottom] + 0.00002 * total) <= kValleyDepth) return -1;
    double low = s[bottom] + 0.25 * (shoulder - s[bottom]);
    int from = bottom, to = bottom;
    while (from > a && s[from - 1] <= low) from--;
    while (to < b && s[to + 1] <= low) to++;
    return (from + to) / 2;
}

}  // namespace

void measureLevels(const uint16_t* sums, size_t count, LevelHistogram* h) {
    *h = LevelHistogram{};
    const size_t step = std::max<size_t>(1, count / kTargetSamples);
    for (size_t i = step / 2; i < count; i += step) h->bins[sums[i] / 3]++;
    for (int v : h->bins) h->total += v;
}

std::vector<int> valleyLevels(const LevelHistogram& h, int most) {
    double s[256];
    smooth(h, s);
    std::vector<int> peaks = findPeaks(s, h.total), levels;
    for (size_t i = 0; i + 1 < peaks.size() && static_cast<int>(levels.size()) < most; i++) {
        int level = valleyBetween(s, peaks[i], peaks[i + 1], h.total);
        if (level >= 0) levels.push_back(level);
    }
    return levels;
}

int percentileLevel(const LevelHistogram& h, double share) {
    int below = 0;
    for (int v = 0; v < 256; v++) {
        below += h.bins[v];
        if (below > share * h.total) return v;
    }
    return 255;
}
