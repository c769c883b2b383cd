// A detected marker's sides re-located on the frame in two passes: the first from the sides
// detection fitted through the outermost dark pixels (half a pixel inside the edge), the second
// from the first's result with a window as narrow as the edges' sharpness allows.
#include <algorithm>
#include <cmath>

#include "tracking/border_edges.h"
#include "tracking/camera.h"
#include "tracking/plane_lines.h"
#include "tracking/refine.h"
#include "tracking/side_fit.h"

namespace {

// A refitted side may move this far (pixels) from the side detection found (a camera's tone curve
// moves that one by a pixel and more), a corner twice as far; more means the crossings caught
// something else.
constexpr double kMaxSideShift = 2.5;
constexpr int kFirstHalfWindow = 3;

SidePlace placeOf(const double corners[4][2], int k) {
    SidePlace s;
    const double* from = corners[k];
    const double* to = corners[(k + 1) % 4];
    double cx = 0, cy = 0;
    for (int j = 0; j < 4; j++) cx += corners[j][0] / 4, cy += corners[j][1] / 4;
    double dx = to[0] - from[0], dy = to[1] - from[1], length = std::hypot(dx, dy);
    double ox = dy / length, oy = -dx / length;
    if (ox * (from[0] - cx) + oy * (from[1] - cy) < 0) ox = -ox, oy = -oy;
    s.from[0] = from[0], s.from[1] = from[1], s.to[0] = to[0], s.to[1] = to[1];
    s.lightward[0] = ox, s.lightward[1] = oy;
    lineThrough(corners[(k + 3) % 4], corners[k], cx, cy, s.before);
    lineThrough(corners[(k + 1) % 4], corners[(k + 2) % 4], cx, cy, s.after);
    return s;
}

// The dark pixels of a profile lie up to halfWindow + 2 inside the edge and must stay on the
// black border, which is a quarter of the marker: a quarter of the distance to the opposite side.
bool borderHoldsProfiles(const double corners[4][2], int k, int halfWindow) {
    const double* a = corners[(k + 2) % 4];
    const double* b = corners[(k + 3) % 4];
    double opposite[3] = {b[1] - a[1], a[0] - b[0], 0};
    double n = std::hypot(opposite[0], opposite[1]);
    if (!(n > 0)) return false;
    opposite[0] /= n, opposite[1] /= n;
    opposite[2] = -(opposite[0] * a[0] + opposite[1] * a[1]);
    double mid[2] = {(corners[k][0] + corners[(k + 1) % 4][0]) / 2, (corners[k][1] + corners[(k + 1) % 4][1]) / 2};
    return 0.25 * std::fabs(lineDistance(opposite, mid[0], mid[1])) >= halfWindow + 2.5;
}

// The narrowest window that holds the transition keeps the light level, read just beyond it,
// close to the edge. Upper transitions (as the first pass measures them) for half windows of
// 1, 2 and 3: a sharp edge measures about 0.2, box blurs of one, two and three passes about
// 0.42, 0.55 and 0.65.
int halfWindowFor(double transition) {
    static const double kLimits[kMaxEdgeHalfWindow - 1] = {0.3, 0.45, 0.58};
    int h = 1;
    while (h < kMaxEdgeHalfWindow && transition > kLimits[h - 1]) h++;
    return h;
}

bool fitSide(const BgrxFrame& frame, const double* distortion, const double corners[4][2], int k, int halfWindow,
             bool probe, SideFit* fit) {
    if (!borderHoldsProfiles(corners, k, halfWindow)) return false;
    SidePlace place = placeOf(corners, k);
    return std::isfinite(place.lightward[0]) && fitSideOnFrame(frame, distortion, place, halfWindow, probe, fit);
}

// One pass over the four sides. The probe tries narrower windows where the first one does not
// fit (a short or thin side); each side's next window follows from the transition it measured,
// one wider where that proves too narrow.
bool refitSides(const BgrxFrame& frame, const double* distortion, const double corners[4][2],
                const double previous[4][3], bool probe, int halfWindow[4], double lines[4][3]) {
    for (int k = 0; k < 4; k++) {
        SideFit fit;
        int h = halfWindow[k];
        while (!fitSide(frame, distortion, corners, k, h, probe, &fit)) {
            h += probe ? -1 : 1;
            if (h < 1 || h > kMaxEdgeHalfWindow || (!probe && h > halfWindow[k] + 1)) return false;
        }
        double sign = fit.line[0] * previous[k][0] + fit.line[1] * previous[k][1] < 0 ? -1.0 : 1.0;
        for (int i = 0; i < 3; i++) lines[k][i] = sign * fit.line[i];
        halfWindow[k] = halfWindowFor(fit.medianTransition);
    }
    return true;
}

bool cornersFromLines(const double lines[4][3], double corners[4][2]) {
    for (int k = 0; k < 4; k++)
        if (!intersectLines(lines[(k + 3) % 4], lines[k], corners[k])) return false;
    return true;
}

bool closeToDetection(const DetectedMarker& m, const double lines[4][3], const double corners[4][2]) {
    for (int k = 0; k < 4; k++) {
        if (std::fabs(lineDistance(lines[k], m.corners[k][0], m.corners[k][1])) > kMaxSideShift ||
            std::fabs(lineDistance(lines[k], m.corners[(k + 1) % 4][0], m.corners[(k + 1) % 4][1])) > kMaxSideShift)
            return false;
        if (std::hypot(corners[k][0] - m.corners[k][0], corners[k][1] - m.corners[k][1]) > 2 * kMaxSideShift)
            return false;
    }
    return true;
}

bool finiteMarker(const DetectedMarker& m) {
    for (int k = 0; k < 4; k++)
        for (int i = 0; i < 3; i++)
            if (!std::isfinite(m.lines[k][i]) || (i < 2 && !std::isfinite(m.corners[k][i]))) return false;
    return true;
}

bool observedSidesLongEnough(const double* distortion, const double corners[4][2]) {
    for (int k = 0; k < 4; k++) {
        double a[2], b[2];
        idealToObserved(distortion, corners[k][0], corners[k][1], &a[0], &a[1]);
        idealToObserved(distortion, corners[(k + 1) % 4][0], corners[(k + 1) % 4][1], &b[0], &b[1]);
        if (!(std::hypot(b[0] - a[0], b[1] - a[1]) >= kMinRefinedSide)) return false;
    }
    return true;
}

// Refines one marker; `shift` gets how far its border showed the sides moved in, NaN when its
// inner edges could not be read (the sides are then left where the outer edges are).
int refineOne(const uint8_t* frame, DetectedMarker* marker, double* shift) {
    marker->refined = false;
    *shift = NAN;
    const CameraIntrinsics* camera = trackerCameraParams();
    BgrxFrame grey{frame, camera->width, camera->height};
    if (!frame || grey.width < 2 || grey.height < 2 || !finiteMarker(*marker)) return -1;
    if (!observedSidesLongEnough(camera->distortion, marker->corners)) return -1;
    double lines[4][3], corners[4][2];
    std::copy(&marker->lines[0][0], &marker->lines[0][0] + 12, &lines[0][0]);
    std::copy(&marker->corners[0][0], &marker->corners[0][0] + 8, &corners[0][0]);
    int halfWindow[4] = {kFirstHalfWindow, kFirstHalfWindow, kFirstHalfWindow, kFirstHalfWindow};
    for (int pass = 0; pass < 2; pass++) {
        double next[4][3];
        if (!refitSides(grey, camera->distortion, corners, lines, pass == 0, halfWindow, next)) return -1;
        if (!cornersFromLines(next, corners)) return -1;
        std::copy(&next[0][0], &next[0][0] + 12, &lines[0][0]);
    }
    // Other kinds of squares keep what detection found; ours get back what the border lost.
    if (!borderIsQuarterWide(grey, camera->distortion, corners)) return -1;
    double found;
    if (borderShift(grey, camera->distortion, halfWindow, lines, &found) && moveSidesOut(lines, found)) *shift = found;
    if (!cornersFromLines(lines, corners) || !closeToDetection(*marker, lines, corners)) return -1;
    std::copy(&lines[0][0], &lines[0][0] + 12, &marker->lines[0][0]);
    std::copy(&corners[0][0], &corners[0][0] + 8, &marker->corners[0][0]);
    marker->refined = true;
    return 0;
}

// A refined marker whose border could not tell its shift takes the one the frame's others showed.
void takeShift(DetectedMarker* marker, double shift) {
    double lines[4][3], corners[4][2];
    std::copy(&marker->lines[0][0], &marker->lines[0][0] + 12, &lines[0][0]);
    if (!moveSidesOut(lines, shift) || !cornersFromLines(lines, corners)) return;
    std::copy(&lines[0][0], &lines[0][0] + 12, &marker->lines[0][0]);
    std::copy(&corners[0][0], &corners[0][0] + 8, &marker->corners[0][0]);
}

double shifts[kMaxDetectedMarkers];

}  // namespace

int refineMarkerEdges(const uint8_t* frame, DetectedMarker* marker) {
    double shift;
    return refineOne(frame, marker, &shift);
}

int refineMarkerSet(const uint8_t* frame, DetectedMarker* markers, int count, const int* which) {
    int refined = 0, known = 0;
    double sorted[kMaxDetectedMarkers];
    count = std::min(count, kMaxDetectedMarkers);
    for (int j = 0; j < count; j++) {
        int i = which ? which[j] : j;
        shifts[j] = NAN;
        if (i < 0) continue;
        refined += refineOne(frame, &markers[i], &shifts[j]) == 0;
        if (std::isfinite(shifts[j])) sorted[known++] = shifts[j];
    }
    if (known == 0) return refined;
    std::nth_element(sorted, sorted + known / 2, sorted + known);
    for (int j = 0; j < count; j++) {
        int i = which ? which[j] : j;
        if (i >= 0 && markers[i].refined && !std::isfinite(shifts[j])) takeShift(&markers[i], sorted[known / 2]);
    }
    return refined;
}

int refineMarkerList(const uint8_t* frame, DetectedMarker* markers, int count) {
    return refineMarkerSet(frame, markers, count, nullptr);
}
