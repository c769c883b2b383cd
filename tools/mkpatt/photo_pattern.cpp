#include "photo_pattern.h"

#include <algorithm>
#include <cmath>

#include "tracking/camera.h"
#include "tracking/labeling.h"
#include "tracking/marker.h"

namespace {

constexpr int kDefaultThreshold = 100;
constexpr int kOtherThresholds[] = {80, 120, 60, 140, 40, 160, 180, 200};
// Below this spread of the cell values the inside shows no picture (a plain dark or light square).
constexpr double kMinSpread = 10.0;

int cellIndex(int row, int col, int channel) { return (row * kPatternSize + col) * 3 + channel; }

double spread(const uint8_t* cells) {
    double sum = 0.0, squares = 0.0;
    for (int i = 0; i < kPatternCells; ++i) sum += cells[i], squares += cells[i] * cells[i];
    double mean = sum / kPatternCells;
    return std::sqrt(std::fmax(0.0, squares / kPatternCells - mean * mean));
}

// The outline corner from which the top edge runs to the right: the first
// corner of the sample for a marker held upright.
int topLeftCorner(const double x[4], const double y[4]) {
    int best = 0;
    double bestRightward = -2.0;
    for (int k = 0; k < 4; ++k) {
        double dx = x[(k + 1) % 4] - x[k], dy = y[(k + 1) % 4] - y[k];
        double rightward = dx / std::sqrt(dx * dx + dy * dy);
        if (rightward > bestRightward) bestRightward = rightward, best = k;
    }
    return best;
}

// Samples the candidate as identification does, starting at its top-left corner.
bool sampleCandidate(const uint8_t* frame, const MarkerCandidate& c, uint8_t* cells) {
    double x[4], y[4];
    for (int i = 0; i < 4; ++i) x[i] = c.contourX[c.cornerIndex[i]], y[i] = c.contourY[c.cornerIndex[i]];
    int first = topLeftCorner(x, y);
    double rx[4], ry[4], h[8];
    for (int i = 0; i < 4; ++i) rx[i] = x[(first + i) % 4], ry[i] = y[(first + i) % 4];
    return fitSquareHomography(rx, ry, h) == 0 && samplePattern(frame, h, rx, ry, cells) == 0;
}

bool findAtThreshold(const uint8_t* frame, int threshold, PhotoSample* sample) {
    int regions, *areas, *boxes, *table;
    double* centroids;
    Label* labels = labelImage(frame, threshold, &regions, &areas, &centroids, &boxes, &table);
    if (labels == nullptr) return false;
    MarkerCandidate* candidates;
    int count, width, height;
    trackerImageSize(&width, &height);
    extractCandidates(labels, regions, table, areas, centroids, boxes, largestMarkerArea(width, height),
                      kMinAreaDefault, 1.0, &candidates, &count);
    const double* distortion = trackerCameraParams()->distortion;
    bool found = false;
    for (int i = 0; i < count; ++i) {
        const MarkerCandidate& c = candidates[i];
        double lines[4][3], corners[4][2];
        uint8_t cells[kPatternCells];
        if (c.area <= sample->area || fitEdgeLines(&c, distortion, lines, corners) < 0) continue;
        if (!sampleCandidate(frame, c, cells) || spread(cells) < kMinSpread) continue;
        std::copy(cells, cells + kPatternCells, sample->cells);
        sample->area = c.area;
        sample->threshold = threshold;
        found = true;
    }
    return found;
}

// Normalised correlation of two cell sets, as matching compares them.
double correlation(const double* a, const uint8_t* b) {
    double ma = 0.0, mb = 0.0;
    for (int i = 0; i < kPatternCells; ++i) ma += a[i], mb += b[i];
    ma /= kPatternCells, mb /= kPatternCells;
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (int i = 0; i < kPatternCells; ++i) {
        double da = a[i] - ma, db = b[i] - mb;
        ab += da * db, aa += da * da, bb += db * db;
    }
    return aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : 0.0;
}

}  // namespace

bool samplePhotoMarker(const uint8_t* frame, int threshold, PhotoSample* sample) {
    sample->area = 0;
    if (threshold >= 0) return findAtThreshold(frame, threshold, sample);
    if (findAtThreshold(frame, kDefaultThreshold, sample)) return true;
    for (int t : kOtherThresholds)
        if (findAtThreshold(frame, t, sample)) return true;
    return false;
}

void turnCells(const uint8_t* in, int turns, uint8_t* out) {
    uint8_t work[kPatternCells];
    std::copy(in, in + kPatternCells, work);
    for (int t = 0; t < turns % 4; ++t) {
        uint8_t turned[kPatternCells];
        for (int row = 0; row < kPatternSize; ++row)
            for (int col = 0; col < kPatternSize; ++col)
                for (int ch = 0; ch < 3; ++ch)
                    turned[cellIndex(row, col, ch)] = work[cellIndex(col, kPatternSize - 1 - row, ch)];
        std::copy(turned, turned + kPatternCells, work);
    }
    std::copy(work, work + kPatternCells, out);
}

void addToAverage(const PhotoSample& sample, PatternAverage* average) {
    uint8_t best[kPatternCells];
    double bestScore = -2.0;
    for (int t = 0; t < (average->count == 0 ? 1 : 4); ++t) {
        uint8_t turned[kPatternCells];
        turnCells(sample.cells, t, turned);
        double score = average->count == 0 ? 0.0 : correlation(average->sums, turned);
        if (score > bestScore) bestScore = score, std::copy(turned, turned + kPatternCells, best);
    }
    for (int i = 0; i < kPatternCells; ++i) average->sums[i] += best[i];
    average->count++;
}

void averageToPatternValues(const PatternAverage& average, uint8_t values[kPatternFileValues]) {
    uint8_t mean[kPatternCells];
    for (int i = 0; i < kPatternCells; ++i)
        mean[i] = static_cast<uint8_t>(std::lround(average.sums[i] / (average.count > 0 ? average.count : 1)));
    for (int d = 0; d < 4; ++d) {
        uint8_t turned[kPatternCells];
        turnCells(mean, d, turned);
        for (int ch = 0; ch < 3; ++ch)
            for (int row = 0; row < kPatternSize; ++row)
                for (int col = 0; col < kPatternSize; ++col)
                    values[((d * 3 + ch) * kPatternSize + row) * kPatternSize + col] = turned[cellIndex(row, col, ch)];
    }
}
