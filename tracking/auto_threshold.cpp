#include "tracking/auto_threshold.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "tracking/camera.h"
#include "tracking/frame_levels.h"
#include "tracking/grid_search.h"
#include "tracking/marker_levels.h"

namespace {

constexpr double kMostDarkShare = 0.9;
// Two levels with fewer sampled points than this between them binarise the frame alike.
constexpr double kSameLevelsShare = 0.001;
// Border and light closer than this (levels) leave no room to choose.
constexpr int kSmallestGap = 8;
// A global level with this share of the sampled points within kCrowdedLevels of it lies in the thick
// of one group of pixels (the table's grain): it splits that group into specks, and a marker's border
// lies between groups.
constexpr int kCrowdedLevels = 3;
constexpr double kCrowdedShare = 0.12;

Binarisation kept{false, kDefaultThreshold, 0};
AutoThresholdStatus status;
FrameGrid reduced;
LevelHistogram histogram;
DetectedMarker outputList[kMaxDetectedMarkers];
DetectedMarker attemptList[kCandidateRoom];
DetectedMarker firstList[kCandidateRoom];
DetectedMarker savedList[kCandidateRoom];
// Markers a second look at a way's places identified this frame, and that way: they stand when no
// way of the frame identifies a marker itself, as their outlines are rougher.
DetectedMarker secondList[kCandidateRoom];
int secondCount = 0;
Binarisation secondWay;

// Share of the sampled points with levels in [from, to].
double shareBetween(const LevelHistogram& h, int from, int to) {
    int count = 0;
    for (int v = std::max(from, 0); v <= std::min(to, 255); v++) count += h.bins[v];
    return h.total > 0 ? static_cast<double>(count) / h.total : 0.0;
}

bool sameWay(const Binarisation& a, const Binarisation& b) {
    if (a.local != b.local) return false;
    if (a.local) return a.level == b.level;
    const int from = std::min(a.level + a.shift, b.level + b.shift), to = std::max(a.level + a.shift, b.level + b.shift);
    return shareBetween(histogram, from + 1, to) < kSameLevelsShare;
}

// A global level is not worth a labeling when it darkens nearly the whole frame (no light left
// around a marker), lies in the thick of a group of pixels, or darkens the same points as a way
// already tried.
bool worthTrying(const std::vector<Binarisation>& tried, const Binarisation& b) {
    const int level = b.level + b.shift;
    if (!b.local && shareBetween(histogram, 0, level) >= kMostDarkShare) return false;
    if (!b.local && shareBetween(histogram, level - kCrowdedLevels, level + kCrowdedLevels) >= kCrowdedShare) return false;
    return std::none_of(tried.begin(), tried.end(), [&](const Binarisation& t) { return sameWay(t, b); });
}

// Ways to try when the kept one finds no marker: per-tile levels, which suit most light; the
// valley between the frame's darkest group of pixels and the next, for a room too dim or too bright
// for the tiles' contrast rule; a level halfway from the darkest pixels to the typical ones, for a
// small dark marker in a frame whose histogram shows it as no group of its own; the next valley.
// A frame tries at most kWaysPerFrame of them, and stops sooner after a way that shows no
// square-looking region at all (a frame with nothing in view); the next frame goes on where it
// stopped, so a lost marker costs each frame a bounded search.
enum class Way { Local, FirstValley, Halfway, SecondValley };
constexpr Way kPlan[] = {Way::Local, Way::FirstValley, Way::Halfway, Way::SecondValley};
constexpr int kPlanLength = static_cast<int>(std::size(kPlan));
constexpr int kWaysPerFrame = 2;
int nextWay = 0;

// The binarisation a way gives in this frame; false when the frame has none (no such valley).
bool binarisationOf(Way way, int shift, Binarisation* b) {
    std::vector<int> valleys;
    switch (way) {
        case Way::Local: *b = Binarisation{true, 0, shift}; return true;
        case Way::FirstValley:
        case Way::SecondValley:
            valleys = valleyLevels(histogram, 2);
            if (valleys.size() <= (way == Way::SecondValley ? 1u : 0u)) return false;
            *b = Binarisation{false, valleys[way == Way::SecondValley ? 1 : 0], shift};
            return true;
        case Way::Halfway:
            *b = Binarisation{false, (percentileLevel(histogram, 0.005) + percentileLevel(histogram, 0.5)) / 2, shift};
            return true;
    }
    return false;
}

int finish(const DetectedMarker* markers, int n, DetectedMarker** out, int* count) {
    std::copy(markers, markers + n, outputList);
    *out = outputList;
    *count = applyMarkerHistory(outputList, n, kMaxDetectedMarkers);
    return 0;
}

// Square-looking regions the last attempt confirmed: none means the frame showed nothing that way.
int lastConfirmed = 0;

bool attempt(const uint8_t* frame, const Binarisation& b, int* n) {
    status.attempts++;
    if (!searchReducedFrame(frame, reduced, b, attemptList, n, &lastConfirmed)) return false;
    if (secondCount == 0 && !identifiesMarker(attemptList, *n)) {
        const int m = lookAgain(frame, secondList);
        if (identifiesMarker(secondList, m)) secondCount = m, secondWay = b;
    }
    return true;
}

// The way found a marker: it is kept for the next frames and a later search starts the plan over.
int keepFound(const DetectedMarker* markers, int n, DetectedMarker** out, int* count) {
    nextWay = 0;
    status = AutoThresholdStatus{kept.local, kept.level, status.attempts, true};
    return finish(markers, n, out, count);
}

// A global level near the border's level or near the light's erodes or swells the marker's
// outline: the frame is searched again in the middle of the gap between them, and that level is
// kept when it still identifies a marker. Returns the markers' count.
int recentre(const uint8_t* frame, Binarisation* way, int count) {
    int dark, light;
    if (way->local || !measureMarkerLevels(frame, attemptList, count, &dark, &light)) return count;
    const int middle = (dark + light) / 2;
    if (light - dark < kSmallestGap || 4 * std::abs(way->level + way->shift - middle) <= light - dark) return count;
    std::copy(attemptList, attemptList + count, savedList);
    const Binarisation centred{false, middle - way->shift, way->shift};
    int n;
    if (attempt(frame, centred, &n) && identifiesMarker(attemptList, n)) {
        *way = centred;
        return n;
    }
    std::copy(savedList, savedList + count, attemptList);
    return count;
}

}  // namespace

int detectMarkersAuto(const uint8_t* frame, int threshold, DetectedMarker** markers, int* count) {
    *count = 0;
    *markers = outputList;
    const int shift = threshold - kDefaultThreshold;
    kept.shift = shift;
    status = AutoThresholdStatus{kept.local, kept.level, 0, false};
    reduceFrame(frame, &reduced);
    measureLevels(reduced.sums.data(), reduced.sums.size(), &histogram);
    int n = 0;
    secondCount = 0;
    // A labeling that fails (a frame full of specks at that level) only rules out its own way.
    bool tried = worthTrying({}, kept), labelled = tried && attempt(frame, kept, &n), failed = tried && !labelled;
    if (labelled && identifiesMarker(attemptList, n)) {
        status.found = true;
        n = recentre(frame, &kept, n);
        status.level = kept.level;
        return finish(attemptList, n, markers, count);
    }
    const int firstCount = labelled ? n : 0;
    std::copy(attemptList, attemptList + firstCount, firstList);
    std::vector<Binarisation> ways{kept};
    int visited = 0;
    for (int made = 0; visited < kPlanLength && made < kWaysPerFrame; visited++) {
        Binarisation b;
        if (!binarisationOf(kPlan[(nextWay + visited) % kPlanLength], shift, &b) || !worthTrying(ways, b)) continue;
        ways.push_back(b);
        made++;
        if (!attempt(frame, b, &n)) {
            failed = true;
            continue;
        }
        labelled = true;
        if (identifiesMarker(attemptList, n)) {
            kept = b;
            return keepFound(attemptList, recentre(frame, &kept, n), markers, count);
        }
        if (lastConfirmed == 0) {
            visited++;
            break;
        }
    }
    nextWay = (nextWay + visited) % kPlanLength;
    if (secondCount > 0) {
        kept = secondWay;
        return keepFound(secondList, secondCount, markers, count);
    }
    if (failed && !labelled) return -1;
    return finish(firstList, firstCount, markers, count);
}

void resetAutoThreshold() {
    kept = Binarisation{false, kDefaultThreshold, 0};
    nextWay = 0;
    status = AutoThresholdStatus{};
}

AutoThresholdStatus autoThresholdStatus() { return status; }
