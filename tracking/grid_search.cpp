#include "tracking/grid_search.h"

#include <algorithm>

#include "tracking/camera.h"
#include "tracking/labeling.h"
#include "tracking/local_levels.h"
#include "tracking/threshold_map.h"

namespace {

constexpr int kReducedWidth = 480;
// Points a confirming window holds at most: larger windows are sampled more coarsely.
constexpr int kWindowPoints = 65536;
// A region of the reduced copy whose pattern, sampled on the frame at its rough corners, matches
// a loaded one less than this is not worth confirming.
constexpr double kLeastRoughConfidence = 0.3;
// Smallest region of the reduced copy taken for a possible marker.
constexpr int kSmallestReducedArea = 48;
// Local levels: a neighbourhood of little contrast (no edge, or only the table's grain) is taken as light.
constexpr int kLocalMinContrast = 30;
constexpr double kLocalMinRelativeContrast = 0.3;
// More provisional labels than one per this many points: specks, not a scene with markers.
constexpr int kPointsPerLabel = 16;
// A second look at a place takes tiles this many times wider and a limit up to this share of the
// way from the local dark to the light. Where a shadow's edge crosses a marker, the fine tiles by
// the edge take their dark from the shadowed border and their light from the lit table: their low
// limit cuts the lit part of the border off, which the wider, higher limit keeps.
constexpr int kSecondLookTileFactor = 2;
constexpr int kSecondLookDivisor = 3;

// A region of the reduced copy that may be a marker, as a box of frame pixels (inclusive).
struct Place {
    int x0, y0, x1, y1;
};

FrameGrid window;
ThresholdMap levels;
Place places[kCandidateRoom];
// The last search's way, and its places whose confirmation identified no marker.
Binarisation lastWay;
Place unidentified[kCandidateRoom];
int unidentifiedCount = 0;

// Local levels come from tiles of 4 x 4 points of the reduced copy, the same frame pixels at every step.
int tileSizeAt(int step) {
    int width, height;
    trackerImageSize(&width, &height);
    return std::max(2, 4 * searchStep(width) / step);
}

Label* labelGrid(const FrameGrid& grid, const Binarisation& b, LabelResult* l, bool secondLook = false) {
    const int budget = static_cast<int>(grid.sums.size() / kPointsPerLabel) + 64;
    if (!b.local) return labelSums(grid.sums.data(), grid.width, grid.height, 3 * (b.level + b.shift), budget, l);
    LocalLevelRule rule;
    rule.minContrast = kLocalMinContrast;
    rule.minRelativeContrast = kLocalMinRelativeContrast;
    rule.flatLimit = -1;
    rule.tileSize = tileSizeAt(grid.step) * (secondLook ? kSecondLookTileFactor : 1);
    if (secondLook) rule.contrastDivisor = kSecondLookDivisor;
    buildLocalLevels(grid.sums.data(), grid.width, grid.height, rule, &levels);
    for (int& limit : levels.limits) limit += 3 * b.shift;
    return labelSumsLocal(grid.sums.data(), grid.width, grid.height, levels, budget, l);
}

// Square outlines of a labelled grid, moved to frame pixels.
int gridCandidates(const FrameGrid& grid, const LabelResult& l, int minArea, MarkerCandidate** out) {
    int width, height;
    trackerImageSize(&width, &height);
    const int cell = grid.step * grid.step;
    int count;
    extractCandidatesIn(l.labelImage, grid.width, grid.height, l.regionCount, l.labelTable, l.areas, l.centroids,
                        l.boundingBoxes, largestMarkerArea(width, height) / cell, minArea, 1.0, out, &count);
    for (int i = 0; i < count; i++) {
        MarkerCandidate& c = (*out)[i];
        for (int k = 0; k < c.pointCount; k++) {
            c.contourX[k] = grid.frameX(c.contourX[k]);
            c.contourY[k] = grid.frameY(c.contourY[k]);
        }
        c.area *= cell;
        c.center[0] = grid.x0 + grid.step * c.center[0] + (grid.step - 1) / 2.0;
        c.center[1] = grid.y0 + grid.step * c.center[1] + grid.step / 2;
    }
    return count;
}

// With no pattern loaded every square is worth confirming: the caller wants squares, not ids.
bool looksLikeMarker(const uint8_t* frame, const MarkerCandidate& c) {
    if (loadedPatternCount() == 0) return true;
    int id, orientation;
    double confidence;
    identifyMarker(frame, c.contourX.data(), c.contourY.data(), c.cornerIndex, &id, &orientation, &confidence);
    return id >= 0 && confidence >= kLeastRoughConfidence;
}

Place placeOf(const MarkerCandidate& c, int step) {
    Place p{c.contourX[0], c.contourY[0], c.contourX[0], c.contourY[0]};
    for (int k = 1; k < c.pointCount; k++) {
        p.x0 = std::min(p.x0, c.contourX[k]), p.x1 = std::max(p.x1, c.contourX[k]);
        p.y0 = std::min(p.y0, c.contourY[k]), p.y1 = std::max(p.y1, c.contourY[k]);
    }
    // The reduced outline may lie a point inside the region's true edge.
    const int margin = 2 * step + std::max(p.x1 - p.x0, p.y1 - p.y0) / 8;
    int width, height;
    trackerImageSize(&width, &height);
    return Place{std::max(0, p.x0 - margin), std::max(0, p.y0 - margin), std::min(width - 1, p.x1 + margin),
                 std::min(height - 1, p.y1 + margin)};
}

// Detects the markers in one place at the finest step its window allows.
int confirm(const uint8_t* frame, const Place& p, const Binarisation& b, DetectedMarker* markers,
            bool secondLook = false) {
    int width, height;
    trackerImageSize(&width, &height);
    int step = 1;
    while (static_cast<long long>((p.x1 - p.x0 + 1) / step) * ((p.y1 - p.y0 + 1) / step) > kWindowPoints) step *= 2;
    sampleFrameGrid(frame, width, p.x0, p.y0, step, (p.x1 - p.x0 + 1) / step, (p.y1 - p.y0 + 1) / step, &window);
    LabelResult l;
    if (!labelGrid(window, b, &l, secondLook)) return 0;
    MarkerCandidate* candidates;
    const int count = gridCandidates(window, l, std::max(1, kMinAreaDefault / (step * step)), &candidates);
    int n;
    buildDetectedMarkers(frame, candidates, count, markers, &n);
    return n;
}

// The same marker confirmed from two places: the one from the larger region stays.
int removeRepeats(DetectedMarker* m, int count) {
    int kept = 0;
    for (int i = 0; i < count; i++) {
        bool repeat = false;
        for (int j = 0; j < kept && !repeat; j++) {
            const double dx = m[i].center[0] - m[j].center[0], dy = m[i].center[1] - m[j].center[1];
            repeat = dx * dx + dy * dy < std::max(m[i].area, m[j].area) / 4;
            if (repeat && m[i].area > m[j].area) m[j] = m[i];
        }
        if (!repeat) m[kept++] = m[i];
    }
    return kept;
}

}  // namespace

int searchStep(int frameWidth) {
    int step = 1;
    while (frameWidth / step > kReducedWidth) step *= 2;
    return step;
}

void reduceFrame(const uint8_t* frame, FrameGrid* reduced) {
    int width, height;
    trackerImageSize(&width, &height);
    const int step = searchStep(width);
    sampleFrameGrid(frame, width, 0, 0, step, width / step, height / step, reduced);
}

bool searchReducedFrame(const uint8_t* frame, const FrameGrid& reduced, const Binarisation& b, DetectedMarker* markers,
                        int* count, int* confirmed) {
    *count = 0;
    *confirmed = 0;
    LabelResult l;
    if (!labelGrid(reduced, b, &l)) return false;
    MarkerCandidate* candidates;
    const int candidateCount = gridCandidates(reduced, l, kSmallestReducedArea, &candidates);
    int placeCount = 0;
    for (int i = 0; i < candidateCount; i++)
        if (looksLikeMarker(frame, candidates[i])) places[placeCount++] = placeOf(candidates[i], reduced.step);
    static DetectedMarker found[kCandidateRoom], here[kCandidateRoom];
    int n = 0;
    lastWay = b;
    unidentifiedCount = 0;
    for (int i = 0; i < placeCount && n < kCandidateRoom; i++) {
        const int m = confirm(frame, places[i], b, here);
        if (!identifiesMarker(here, m)) unidentified[unidentifiedCount++] = places[i];
        for (int k = 0; k < m && n < kCandidateRoom; k++) found[n++] = here[k];
    }
    *confirmed = placeCount;
    *count = removeRepeats(found, n);
    std::copy(found, found + *count, markers);
    return true;
}

int lookAgain(const uint8_t* frame, DetectedMarker* markers) {
    // With no pattern loaded nothing is identified, and a second look cannot change that.
    if (!lastWay.local || loadedPatternCount() == 0) return 0;
    static DetectedMarker found[kCandidateRoom], here[kCandidateRoom];
    int n = 0;
    for (int i = 0; i < unidentifiedCount && n < kCandidateRoom; i++) {
        const int m = confirm(frame, unidentified[i], lastWay, here, true);
        for (int k = 0; k < m && n < kCandidateRoom; k++) found[n++] = here[k];
    }
    n = removeRepeats(found, n);
    std::copy(found, found + n, markers);
    return n;
}

bool identifiesMarker(const DetectedMarker* markers, int count) {
    for (int i = 0; i < count; i++)
        if (markers[i].id >= 0 && markers[i].confidence >= 0.5) return true;
    return false;
}
