#include "tracking/border_edges.h"

#include <algorithm>
#include <cmath>

#include "tracking/camera.h"
#include "tracking/plane_lines.h"
#include "tracking/side_fit.h"

namespace {

// The most a tone curve and blur take from an edge (pixels; about 1 for gamma 2.4 and a blur of
// 1.1 px on ink as black as the sensor sees it), and how far one side's inner edge may lie from
// where the shift puts it.
constexpr double kMaxShift = 1.5;
constexpr double kMaxSideDisagreement = 0.25;
constexpr int kShiftRounds = 4;
// One inner edge alone may be dimmed by the picture beside it, with no other to disagree.
constexpr int kMinInnerEdges = 2;

// Whether the border is a quarter of the width is read at 0.2 of the width in from each outer
// edge: dark there in such a border, light in one of an eighth or a sixth (other kinds of
// markers), against the ink at 0.07 in and the paper at 0.07 out.
constexpr double kDeepInBorder = 0.2, kShallowInBorder = 0.07;
constexpr int kBorderProbes = 8;
constexpr double kMinDarkShare = 0.9;

const double kSquare[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};

// Where the border's inner edge meets the inner square: a quarter in from each outer edge.
void innerCorner(const SquareView& view, int k, double point[2]) {
    squarePointSeen(view, 0.25 + 0.5 * kSquare[k % 4][0], 0.25 + 0.5 * kSquare[k % 4][1], point);
}

// Inner edge k as the view puts it, its light side towards the marker's centre.
SidePlace innerPlace(const SquareView& view, int k) {
    SidePlace s;
    double centre[2], corner[4][2];
    squarePointSeen(view, 0.5, 0.5, centre);
    for (int j = 0; j < 4; j++) innerCorner(view, k + j, corner[j]);
    std::copy(corner[0], corner[0] + 2, s.from);
    std::copy(corner[1], corner[1] + 2, s.to);
    double line[3];
    lineThrough(corner[0], corner[1], centre[0], centre[1], line);
    s.lightward[0] = line[0], s.lightward[1] = line[1];
    lineThrough(corner[3], corner[0], centre[0], centre[1], s.before);
    lineThrough(corner[1], corner[2], centre[0], centre[1], s.after);
    s.innerEdge = true;
    return s;
}

bool cornersOf(const double lines[4][3], double corners[4][2]) {
    for (int k = 0; k < 4; k++)
        if (!intersectLines(lines[(k + 3) % 4], lines[k], corners[k])) return false;
    return true;
}

// The lines with their normals pointing out of the quadrilateral they bound.
void pointOutward(double lines[4][3], const double corners[4][2]) {
    double cx = 0, cy = 0;
    for (int k = 0; k < 4; k++) cx += corners[k][0] / 4, cy += corners[k][1] / 4;
    for (int k = 0; k < 4; k++)
        if (lineDistance(lines[k], cx, cy) > 0)
            for (int i = 0; i < 3; i++) lines[k][i] = -lines[k][i];
}

bool fitInnerEdges(const BgrxFrame& frame, const double* distortion, const int halfWindow[4], const SquareView& view,
                   double inner[4][3], bool measured[4]) {
    int count = 0;
    for (int k = 0; k < 4; k++) {
        SidePlace place = innerPlace(view, k);
        SideFit fit;
        // Read as the outer edge was, so that both are moved alike.
        measured[k] = fitSideOnFrame(frame, distortion, place, halfWindow[k], false, &fit);
        if (!measured[k]) continue;
        // Normal out of the marker, as the outer lines have it.
        double sign = fit.line[0] * place.lightward[0] + fit.line[1] * place.lightward[1] > 0 ? -1.0 : 1.0;
        for (int i = 0; i < 3; i++) inner[k][i] = sign * fit.line[i];
        count++;
    }
    return count >= kMinInnerEdges;
}

// How far, out of the marker, each measured inner edge lies from where the outer lines moved out
// by `shift` put it.
bool innerOffsets(const double outer[4][3], double shift, const double inner[4][3], const bool measured[4],
                  double offset[4]) {
    double moved[4][3], corners[4][2];
    for (int k = 0; k < 4; k++) moved[k][0] = outer[k][0], moved[k][1] = outer[k][1], moved[k][2] = outer[k][2] - shift;
    SquareView view;
    if (!cornersOf(moved, corners) || !viewOfSquare(corners, &view)) return false;
    for (int k = 0; k < 4; k++) {
        if (!measured[k]) continue;
        double a[2], b[2];
        innerCorner(view, k, a);
        innerCorner(view, k + 1, b);
        offset[k] = -lineDistance(inner[k], (a[0] + b[0]) / 2, (a[1] + b[1]) / 2);
    }
    return true;
}

// The shift that makes the inner edges fall, on average, where the moved outer lines put them.
// A shift short by e leaves them e / 2 short the other way, hence the gain of 2/3 per round.
// False when it is implausible or one side's inner edge disagrees with it.
bool solveShift(const double outer[4][3], const double inner[4][3], const bool measured[4], double* shift) {
    *shift = 0.0;
    double offset[4];
    for (int round = 0; round < kShiftRounds; round++) {
        if (!innerOffsets(outer, *shift, inner, measured, offset)) return false;
        double sum = 0;
        int n = 0;
        for (int k = 0; k < 4; k++)
            if (measured[k]) sum += offset[k] - *shift, n++;
        *shift += 2.0 / 3.0 * sum / n;
    }
    if (!innerOffsets(outer, *shift, inner, measured, offset) || !(std::fabs(*shift) <= kMaxShift)) return false;
    for (int k = 0; k < 4; k++)
        if (measured[k] && !(std::fabs(offset[k] - *shift) <= kMaxSideDisagreement)) return false;
    return true;
}

// Grey value (sum of the three bytes) of the pixel seen at point (u, v) of the square; -1 outside the frame.
int greyAt(const BgrxFrame& frame, const double* distortion, const SquareView& view, double u, double v) {
    double ideal[2], x, y;
    squarePointSeen(view, u, v, ideal);
    idealToObserved(distortion, ideal[0], ideal[1], &x, &y);
    long px = std::lround(x), py = std::lround(y);
    if (!(px >= 0 && py >= 0 && px < frame.width && py < frame.height)) return -1;
    const uint8_t* p = frame.bgrx + 4 * (static_cast<size_t>(py) * frame.width + px);
    return p[0] + p[1] + p[2];
}

}  // namespace

bool borderIsQuarterWide(const BgrxFrame& frame, const double distortion[4], const double corners[4][2]) {
    SquareView view;
    if (!viewOfSquare(corners, &view)) return false;
    int dark = 0, total = 0;
    for (int k = 0; k < 4; k++) {
        const double* a = kSquare[k];
        const double* b = kSquare[(k + 1) % 4];
        // Unit step into the marker from side k.
        double inX = 0.5 - (a[0] + b[0]) / 2, inY = 0.5 - (a[1] + b[1]) / 2;
        for (int i = 0; i < kBorderProbes; i++) {
            double t = 0.2 + 0.6 * i / (kBorderProbes - 1);
            double u = a[0] + t * (b[0] - a[0]), v = a[1] + t * (b[1] - a[1]);
            int deep = greyAt(frame, distortion, view, u + 2 * kDeepInBorder * inX, v + 2 * kDeepInBorder * inY);
            int ink = greyAt(frame, distortion, view, u + 2 * kShallowInBorder * inX, v + 2 * kShallowInBorder * inY);
            int paper = greyAt(frame, distortion, view, u - 2 * kShallowInBorder * inX, v - 2 * kShallowInBorder * inY);
            if (deep < 0 || ink < 0 || paper < 0) return false;
            total++;
            dark += 2 * deep < ink + paper;
        }
    }
    return dark >= kMinDarkShare * total;
}

bool borderShift(const BgrxFrame& frame, const double distortion[4], const int halfWindow[4], const double lines[4][3],
                 double* shift) {
    double outer[4][3], corners[4][2], inner[4][3];
    bool measured[4];
    std::copy(&lines[0][0], &lines[0][0] + 12, &outer[0][0]);
    SquareView view;
    if (!cornersOf(outer, corners) || !viewOfSquare(corners, &view)) return false;
    pointOutward(outer, corners);
    return fitInnerEdges(frame, distortion, halfWindow, view, inner, measured) &&
           solveShift(outer, inner, measured, shift);
}

bool moveSidesOut(double lines[4][3], double shift) {
    double outer[4][3], corners[4][2];
    std::copy(&lines[0][0], &lines[0][0] + 12, &outer[0][0]);
    if (!cornersOf(outer, corners)) return false;
    pointOutward(outer, corners);
    for (int k = 0; k < 4; k++) {
        double sign = outer[k][0] * lines[k][0] + outer[k][1] * lines[k][1] < 0 ? -1.0 : 1.0;
        lines[k][2] = sign * (outer[k][2] - shift);
    }
    return true;
}
