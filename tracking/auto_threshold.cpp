#include "tracking/auto_threshold.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "tracking/camera.h"
#include "tracking/frame_levels.h"
#include "tracking/labeling.h"
#include "tracking/local_levels.h"
#include "tracking/marker_levels.h"

namespace {

// How a frame is binarised: one global level, or per-tile levels read from the frame itself.
struct Binarisation {
    bool local;
    int level;  // global: the level before the shift; local: the share of the local contrast, in percent
};

constexpr int kMostValleys = 3;
// Local levels lie nearer the local dark, so that the dark side of a shadow's edge stays light; a
// neighbourhood of little contrast (no edge in it, or only the table's grain) is taken as light.
// (A second, higher share found no more markers under hard light and made a lost frame slower.)
constexpr int kLocalShare = 20;
constexpr int kLocalMinContrast = 30;
constexpr double kLocalMinRelativeContrast = 0.3;
constexpr double kMostDarkShare = 0.9;
// Two levels with fewer sampled pixels than this between them binarise the frame alike.
constexpr double kSameLevelsShare = 0.001;
// Border and light closer than this (levels) leave no room to choose.
constexpr int kSmallestGap = 8;
// More regions than one per this many pixels: sensor noise or a speckled texture, not a scene
// where local levels would find anything but more specks.
constexpr int kSpeckledPixelsPerRegion = 64;

Binarisation kept{false, kDefaultThreshold};
AutoThresholdStatus status;
DetectedMarker outputList[kMaxDetectedMarkers];
DetectedMarker attemptList[kCandidateRoom];
DetectedMarker firstList[kCandidateRoom];
DetectedMarker keptList[kCandidateRoom];
ThresholdMap localMap;
LevelHistogram histogram;

bool identifiesMarker(const DetectedMarker* markers, int count) {
    for (int i = 0; i < count; i++)
        if (markers[i].id >= 0 && markers[i].confidence >= 0.5) return true;
    return false;
}

Label* labelLocally(const uint8_t* frame, int sharePercent, int shift, LabelResult* l) {
    int width, height;
    trackerImageSize(&width, &height);
    LocalLevelRule rule;
    rule.share = sharePercent / 100.0;
    rule.minContrast = kLocalMinContrast;
    rule.minRelativeContrast = kLocalMinRelativeContrast;
    rule.flatLimit = -1;
    buildLocalLevels(frame, width, height, rule, &localMap);
    for (int& limit : localMap.limits) limit += 3 * shift;
    return labelImageLocal(frame, localMap, &l->regionCount, &l->areas, &l->centroids, &l->boundingBoxes,
                           &l->labelTable);
}

// One labeling and extraction into attemptList; false when labeling failed.
bool tryBinarisation(const uint8_t* frame, const Binarisation& b, int shift, int* count, int* regions) {
    LabelResult l;
    if (b.local)
        l.labelImage = labelLocally(frame, b.level, shift, &l);
    else
        l.labelImage = labelImage(frame, b.level + shift, &l.regionCount, &l.areas, &l.centroids, &l.boundingBoxes,
                                  &l.labelTable);
    status.attempts++;
    *count = 0;
    *regions = l.regionCount;
    if (!l.labelImage) return false;
    markersFromLabels(frame, l, attemptList, count);
    return true;
}

// Share of the sampled pixels with levels in [from, to].
double shareBetween(const LevelHistogram& h, int from, int to) {
    int count = 0;
    for (int v = std::max(from, 0); v <= std::min(to, 255); v++) count += h.bins[v];
    return h.total > 0 ? static_cast<double>(count) / h.total : 0.0;
}

// What the search has done in this frame.
struct Search {
    std::vector<Binarisation> tried;  // global levels here include the shift
    bool speckled = false;            // the first labeling found the frame full of tiny regions
};

// A global level is not worth a labeling when it darkens nearly the whole frame (no light left
// around a marker) or the same pixels as a level already tried.
bool worthTrying(const Search& search, const Binarisation& b, int shift) {
    if (b.local) {
        for (const Binarisation& t : search.tried)
            if (t.local && t.level == b.level) return false;
        return !search.speckled;
    }
    const int level = b.level + shift;
    if (shareBetween(histogram, 0, level) >= kMostDarkShare) return false;
    for (const Binarisation& t : search.tried) {
        if (t.local) continue;
        if (shareBetween(histogram, std::min(t.level, level) + 1, std::max(t.level, level)) < kSameLevelsShare)
            return false;
    }
    return true;
}

// Ways to try after the kept one failed, in order.
std::vector<Binarisation> searchPlan(const uint8_t* frame) {
    int width, height;
    trackerImageSize(&width, &height);
    measureLevels(frame, width, height, &histogram);
    std::vector<Binarisation> plan{{false, kDefaultThreshold}};
    for (int level : valleyLevels(histogram, kMostValleys)) plan.push_back({false, level});
    plan.push_back({true, kLocalShare});
    // Halfway from the darkest pixels to the typical ones: a small dark marker in a frame whose
    // histogram shows it as no peak of its own.
    plan.push_back({false, (percentileLevel(histogram, 0.005) + percentileLevel(histogram, 0.5)) / 2});
    return plan;
}

int finish(const DetectedMarker* markers, int n, DetectedMarker** out, int* count) {
    std::copy(markers, markers + n, outputList);
    *out = outputList;
    *count = applyMarkerHistory(outputList, n, kMaxDetectedMarkers);
    return 0;
}

// A global level near the border's level or near the light's erodes or swells the marker's outline.
// The middle of the gap between them becomes the automatic level; this frame is labelled again at
// it when that still identifies a marker. Returns the markers' count.
int recentre(const uint8_t* frame, Binarisation* used, int shift, int count) {
    int dark, light, regions;
    if (used->local || !measureMarkerLevels(frame, attemptList, count, &dark, &light)) return count;
    const int middle = (dark + light) / 2;
    if (light - dark < kSmallestGap || 4 * std::abs(used->level - middle) <= light - dark) return count;
    std::copy(attemptList, attemptList + count, keptList);
    int n;
    if (tryBinarisation(frame, {false, middle}, shift, &n, &regions) && identifiesMarker(attemptList, n)) {
        used->level = middle;
        return n;
    }
    std::copy(keptList, keptList + count, attemptList);
    return count;
}

bool speckled(int regions) {
    int width, height;
    trackerImageSize(&width, &height);
    return regions > static_cast<long long>(width) * height / kSpeckledPixelsPerRegion;
}

}  // namespace

int detectMarkersAuto(const uint8_t* frame, int threshold, DetectedMarker** markers, int* count) {
    *count = 0;
    *markers = outputList;
    const int shift = threshold - kDefaultThreshold;
    status = AutoThresholdStatus{kept.local, kept.level, 0, false};
    int n, regions;
    if (!tryBinarisation(frame, kept, shift, &n, &regions)) return -1;
    if ((status.found = identifiesMarker(attemptList, n))) {
        n = recentre(frame, &kept, shift, n);
        status.level = kept.level;
        return finish(attemptList, n, markers, count);
    }
    const int firstCount = n;
    std::copy(attemptList, attemptList + n, firstList);
    Search search;
    search.tried.push_back(kept.local ? kept : Binarisation{false, kept.level + shift});
    search.speckled = speckled(regions);
    for (const Binarisation& b : searchPlan(frame)) {
        if (!worthTrying(search, b, shift)) continue;
        search.tried.push_back(b.local ? b : Binarisation{false, b.level + shift});
        if (!tryBinarisation(frame, b, shift, &n, &regions)) return -1;
        if (!identifiesMarker(attemptList, n)) continue;
        kept = b;
        n = recentre(frame, &kept, shift, n);
        status = AutoThresholdStatus{kept.local, kept.level, status.attempts, true};
        return finish(attemptList, n, markers, count);
    }
    return finish(firstList, firstCount, markers, count);
}

void resetAutoThreshold() {
    kept = Binarisation{false, kDefaultThreshold};
    status = AutoThresholdStatus{};
}

AutoThresholdStatus autoThresholdStatus() { return status; }
