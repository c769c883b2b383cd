#include "photo_pattern.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tracking/auto_threshold.h"
#include "tracking/camera.h"
#include "tracking/labeling.h"
#include "tracking/marker.h"

namespace {

constexpr int kOtherThresholds[] = {80, 120, 60, 140, 40, 160, 180, 200};
// Below this spread of the cell values the inside shows no picture (a plain dark or light square).
constexpr double kMinSpread = 10.0;
// A square counts as a printed marker only when each side is long enough to sample its inside
// and its black border stands out from the paper around it by this many grey levels.
constexpr double kMinMarkerSide = 40.0;
constexpr double kMinBorderContrast = 40.0;

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

struct Outline {
    double x[4], y[4];  // corners from the top-left one on
    double h[8];        // the pattern plane (100..110) onto the photo
};

bool outlineOf(const MarkerCandidate& c, Outline* o) {
    double x[4], y[4];
    for (int i = 0; i < 4; ++i) x[i] = c.contourX[c.cornerIndex[i]], y[i] = c.contourY[c.cornerIndex[i]];
    int first = topLeftCorner(x, y);
    for (int i = 0; i < 4; ++i) o->x[i] = x[(first + i) % 4], o->y[i] = y[(first + i) % 4];
    return fitSquareHomography(o->x, o->y, o->h) == 0;
}

// Grey values of the photo along the square rings of the pattern plane between `from` and `to`
// (distances from its centre, 5 at the outline), where they fall inside the photo; sorted.
std::vector<double> ringGreys(const uint8_t* frame, const Outline& o, double from, double to) {
    int width, height;
    trackerImageSize(&width, &height);
    std::vector<double> greys;
    for (int ring = 0; ring <= 4; ++ring)
        for (int i = 0; i < 64; ++i) {
            const double r = from + (to - from) * ring / 4, t = -r + 2 * r * (i + 0.5) / 64;
            const double along[4][2] = {{t, -r}, {r, t}, {-t, r}, {-r, -t}};
            for (const auto& p : along) {
                const double px = 105 + p[0], py = 105 + p[1];
                const double q = o.h[6] * px + o.h[7] * py + 1.0;
                const double x = (o.h[0] * px + o.h[1] * py + o.h[2]) / q;
                const double y = (o.h[3] * px + o.h[4] * py + o.h[5]) / q;
                if (!(x >= 0 && y >= 0 && x < width && y < height)) continue;
                const uint8_t* pixel = frame + (static_cast<size_t>(y) * width + static_cast<size_t>(x)) * 4;
                greys.push_back((pixel[0] + pixel[1] + pixel[2]) / 3.0);
            }
        }
    std::sort(greys.begin(), greys.end());
    return greys;
}

double shortestSide(const Outline& o) {
    double shortest = INFINITY;
    for (int k = 0; k < 4; ++k)
        shortest = std::min(shortest, std::hypot(o.x[(k + 1) % 4] - o.x[k], o.y[(k + 1) % 4] - o.y[k]));
    return shortest;
}

// Why the square is no printed marker: too small to sample, or a border that is not clearly darker than
// the paper around it (noise, a shape inside a picture); empty when it looks like one.
std::string notAMarker(const uint8_t* frame, const Outline& o) {
    if (shortestSide(o) < kMinMarkerSide)
        return "the square found is smaller than " + std::to_string(static_cast<int>(kMinMarkerSide)) + " pixels";
    const std::vector<double> border = ringGreys(frame, o, 3.0, 4.5), paper = ringGreys(frame, o, 5.3, 5.9);
    if (paper.size() < border.size() / 2) return "the square found has too little paper around it in the photo";
    const double darkBorder = border[border.size() * 9 / 10], lightPaper = paper[paper.size() / 10];
    if (lightPaper - darkBorder < kMinBorderContrast)
        return "the square found has no border clearly darker than the paper around it";
    return "";
}

bool findAtThreshold(const uint8_t* frame, int threshold, PhotoSample* sample, std::string* why) {
    int regions, *areas, *boxes, *table;
    double* centroids;
    Label* labels = labelImage(frame, threshold, &regions, &areas, &centroids, &boxes, &table);
    if (labels == nullptr) return false;
    MarkerCandidate* candidates;
    int count, width, height;
    trackerImageSize(&width, &height);
    // A photo may be filled by its marker.
    extractCandidates(labels, regions, table, areas, centroids, boxes, width * height, kMinAreaDefault, 1.0,
                      &candidates, &count);
    const double* distortion = trackerCameraParams()->distortion;
    bool found = false;
    for (int i = 0; i < count; ++i) {
        const MarkerCandidate& c = candidates[i];
        double lines[4][3], corners[4][2];
        uint8_t cells[kPatternCells];
        Outline o;
        if (c.area <= sample->area || fitEdgeLines(&c, distortion, lines, corners) < 0 || !outlineOf(c, &o)) continue;
        if (samplePattern(frame, o.h, o.x, o.y, cells) != 0 || spread(cells) < kMinSpread) continue;
        if (const std::string problem = notAMarker(frame, o); !problem.empty()) {
            *why = problem;
            continue;
        }
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

bool samplePhotoMarker(const uint8_t* frame, int threshold, PhotoSample* sample, std::string* why) {
    sample->area = 0;
    why->clear();
    if (threshold >= 0) return findAtThreshold(frame, threshold, sample, why);
    if (findAtThreshold(frame, kDefaultThreshold, sample, why)) return true;
    for (int t : kOtherThresholds)
        if (findAtThreshold(frame, t, sample, why)) return true;
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
