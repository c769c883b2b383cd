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

// A refitted side may move this far (pixels, or this share of a large marker's mean side) from
// the side detection found (a camera's tone curve and blur move that one by a pixel and more, a
// few on a large marker), a corner twice as far; more means the crossings caught something else.
constexpr double kMaxSideShift = 2.5, kMaxSideShiftShare = 0.02;
constexpr int kFirstHalfWindow = 3;
// How far (pixels) detection's sides are moved out for a second probe.
constexpr double kRetryOutward = 2.0;
// See toneCurveShift.
constexpr double kShiftPerTransition = 0.93, kMinToneCurveDarkness = 0.1, kMaxEstimatedShift = 1.5;

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

// What the sides' profiles show of the camera's response, averaged over the four sides.
struct EdgeLook {
    double transition = 0.0, darkToLight = 0.0;
};

// A tone curve moves an edge into the ink by about the transition it measures (0.75-1.4 times
// it for gamma 1.8-2.4 and ink of 2-8 % of the light); a linear response moves it by nothing and
// shows black ink darker than a tenth of the light. NaN when the edges look linear.
double toneCurveShift(const EdgeLook& look) {
    if (!(look.darkToLight >= kMinToneCurveDarkness)) return NAN;
    return std::min(kShiftPerTransition * look.transition, kMaxEstimatedShift);
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
                const double previous[4][3], bool probe, int halfWindow[4], double lines[4][3],
                EdgeLook* look = nullptr) {
    if (look) *look = EdgeLook{};
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
        if (look) look->transition += fit.medianTransition / 4, look->darkToLight += fit.medianDarkToLight / 4;
    }
    return true;
}

bool cornersFromLines(const double lines[4][3], double corners[4][2]) {
    for (int k = 0; k < 4; k++)
        if (!intersectLines(lines[(k + 3) % 4], lines[k], corners[k])) return false;
    return true;
}

bool closeToDetection(const DetectedMarker& m, const double lines[4][3], const double corners[4][2]) {
    double perimeter = 0;
    for (int k = 0; k < 4; k++)
        perimeter += std::hypot(m.corners[(k + 1) % 4][0] - m.corners[k][0],
                                m.corners[(k + 1) % 4][1] - m.corners[k][1]);
    const double limit = std::max(kMaxSideShift, kMaxSideShiftShare * perimeter / 4);
    for (int k = 0; k < 4; k++) {
        if (std::fabs(lineDistance(lines[k], m.corners[k][0], m.corners[k][1])) > limit ||
            std::fabs(lineDistance(lines[k], m.corners[(k + 1) % 4][0], m.corners[(k + 1) % 4][1])) > limit)
            return false;
        if (std::hypot(corners[k][0] - m.corners[k][0], corners[k][1] - m.corners[k][1]) > 2 * limit)
            return false;
    }
    return true;
}

// The probe from detection's sides, or from those sides moved out where it finds no edge (a low
// threshold under a tone curve and blur leaves them a few pixels inside a large marker's edges).
bool firstPass(const BgrxFrame& frame, const double* distortion, double lines[4][3], double corners[4][2],
               int halfWindow[4]) {
    for (double outward : {0.0, kRetryOutward}) {
        double from[4][3], next[4][3];
        std::copy(&lines[0][0], &lines[0][0] + 12, &from[0][0]);
        double start[4][2];
        std::fill(halfWindow, halfWindow + 4, kFirstHalfWindow);
        if (!moveSidesOut(from, outward) || !cornersFromLines(from, start)) return false;
        if (!refitSides(frame, distortion, start, from, true, halfWindow, next) || !cornersFromLines(next, corners))
            continue;
        std::copy(&next[0][0], &next[0][0] + 12, &lines[0][0]);
        return true;
    }
    return false;
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

// How far a marker's sides were moved in: as its border's inner edges showed it (NaN when they
// could not be read; the sides are then left where the outer edges are), and as its outer edges'
// profiles suggest it.
struct SideShift {
    double measured = NAN, estimated = NAN;
};

int refineOne(const uint8_t* frame, DetectedMarker* marker, SideShift* shift) {
    marker->refined = false;
    *shift = SideShift{};
    const CameraIntrinsics* camera = trackerCameraParams();
    BgrxFrame grey{frame, camera->width, camera->height};
    if (!frame || grey.width < 2 || grey.height < 2 || !finiteMarker(*marker)) return -1;
    if (!observedSidesLongEnough(camera->distortion, marker->corners)) return -1;
    double lines[4][3], corners[4][2];
    std::copy(&marker->lines[0][0], &marker->lines[0][0] + 12, &lines[0][0]);
    std::copy(&marker->corners[0][0], &marker->corners[0][0] + 8, &corners[0][0]);
    int halfWindow[4];
    if (!firstPass(grey, camera->distortion, lines, corners, halfWindow)) return -1;
    double next[4][3];
    EdgeLook look;
    if (!refitSides(grey, camera->distortion, corners, lines, false, halfWindow, next, &look) ||
        !cornersFromLines(next, corners))
        return -1;
    std::copy(&next[0][0], &next[0][0] + 12, &lines[0][0]);
    // Other kinds of squares keep what detection found; ours get back what the border lost.
    if (!borderIsQuarterWide(grey, camera->distortion, corners)) return -1;
    double found;
    if (borderShift(grey, camera->distortion, halfWindow, lines, &found) && moveSidesOut(lines, found))
        shift->measured = found;
    shift->estimated = toneCurveShift(look);
    if (!cornersFromLines(lines, corners) || !closeToDetection(*marker, lines, corners)) return -1;
    std::copy(&lines[0][0], &lines[0][0] + 12, &marker->lines[0][0]);
    std::copy(&corners[0][0], &corners[0][0] + 8, &marker->corners[0][0]);
    marker->refined = true;
    return 0;
}

// A refined marker whose border could not tell its shift takes the one the frame's others showed,
// or else the one its edges suggest.
void takeShift(DetectedMarker* marker, double shift) {
    if (!std::isfinite(shift)) return;
    double lines[4][3], corners[4][2];
    std::copy(&marker->lines[0][0], &marker->lines[0][0] + 12, &lines[0][0]);
    if (!moveSidesOut(lines, shift) || !cornersFromLines(lines, corners)) return;
    std::copy(&lines[0][0], &lines[0][0] + 12, &marker->lines[0][0]);
    std::copy(&corners[0][0], &corners[0][0] + 8, &marker->corners[0][0]);
}

SideShift shifts[kMaxDetectedMarkers];

}  // namespace

int refineMarkerEdges(const uint8_t* frame, DetectedMarker* marker) {
    SideShift shift;
    int status = refineOne(frame, marker, &shift);
    if (status == 0 && !std::isfinite(shift.measured)) takeShift(marker, shift.estimated);
    return status;
}

int refineMarkerSet(const uint8_t* frame, DetectedMarker* markers, int count, const int* which) {
    int refined = 0, known = 0;
    double sorted[kMaxDetectedMarkers];
    count = std::min(count, kMaxDetectedMarkers);
    for (int j = 0; j < count; j++) {
        int i = which ? which[j] : j;
        shifts[j] = SideShift{};
        if (i < 0) continue;
        refined += refineOne(frame, &markers[i], &shifts[j]) == 0;
        if (std::isfinite(shifts[j].measured)) sorted[known++] = shifts[j].measured;
    }
    if (known > 0) std::nth_element(sorted, sorted + known / 2, sorted + known);
    for (int j = 0; j < count; j++) {
        int i = which ? which[j] : j;
        if (i >= 0 && markers[i].refined && !std::isfinite(shifts[j].measured))
            takeShift(&markers[i], known > 0 ? sorted[known / 2] : shifts[j].estimated);
    }
    return refined;
}

int refineMarkerList(const uint8_t* frame, DetectedMarker* markers, int count) {
    return refineMarkerSet(frame, markers, count, nullptr);
}
