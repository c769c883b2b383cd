#include "tracking/side_fit.h"

#include <algorithm>
#include <cmath>

#include "tracking/camera.h"
#include "tracking/median.h"
#include "tracking/plane_lines.h"

namespace {

constexpr int kMaxSamples = 96;
constexpr int kMaxInnerSamples = 48;  // inner edges only tell how far the outer ones moved
constexpr int kMaxProbeSamples = 16;  // enough for the place and the width of the edge
constexpr int kMinSamples = 6;
// A side seen along its whole length has crossings this close to its line (pixels) all along
// it, but for gaps of this share of the rows or columns tried (or of a few on a short side).
constexpr double kOnLine = 0.5;
constexpr double kMaxGapShare = 0.25;
constexpr double kGapAlwaysAllowed = 8;

struct Point {
    double x, y;
};

struct Crossings {
    Point ideal[kMaxSamples];
    double transition[kMaxSamples];
    double darkToLight[kMaxSamples];
    int triedAt[kMaxSamples];  // which of the rows or columns tried gave each
    int count = 0;
    int tried = 0;
};

Point toObserved(const double* distortion, Point i) {
    Point o;
    idealToObserved(distortion, i.x, i.y, &o.x, &o.y);
    return o;
}

// The side in observed coordinates, where the pixels are: its neighbours' lines (straight enough
// over a side for a margin) and which way its light side lies (the lens barely turns it).
struct ObservedSide {
    double before[3], after[3];
    double lightward[2];
};

ObservedSide observedSide(const double* distortion, const SidePlace& side) {
    ObservedSide o;
    Point mid = toObserved(distortion, {(side.from[0] + side.to[0]) / 2, (side.from[1] + side.to[1]) / 2});
    // Each neighbour through the side's end and a point ten pixels along it.
    const double* ends[2] = {side.from, side.to};
    const double* lines[2] = {side.before, side.after};
    double* out[2] = {o.before, o.after};
    for (int n = 0; n < 2; n++) {
        Point a = toObserved(distortion, {ends[n][0], ends[n][1]});
        Point b = toObserved(distortion, {ends[n][0] - 10 * lines[n][1], ends[n][1] + 10 * lines[n][0]});
        const double pa[2] = {a.x, a.y}, pb[2] = {b.x, b.y};
        lineThrough(pa, pb, mid.x, mid.y, out[n]);
    }
    o.lightward[0] = side.lightward[0], o.lightward[1] = side.lightward[1];
    return o;
}

// The row or column through observed point `o` of the side, whose observed direction there is
// (tx, ty), and where the side crosses it.
bool queryAt(const ObservedSide& side, Point o, double tx, double ty, int halfWindow, EdgeProfileQuery* q) {
    if (!(std::fabs(o.x) < 1e6 && std::fabs(o.y) < 1e6)) return false;
    q->alongRows = std::fabs(ty) >= std::fabs(tx);  // a steep side crosses rows once each
    q->halfWindow = halfWindow;
    if (q->alongRows) {
        q->line = static_cast<int>(std::floor(o.y + 0.5));
        q->predicted = o.x + (q->line - o.y) * tx / ty;
        q->lightAhead = side.lightward[0] > 0;
    } else {
        q->line = static_cast<int>(std::floor(o.x + 0.5));
        q->predicted = o.y + (q->line - o.x) * ty / tx;
        q->lightAhead = side.lightward[1] > 0;
    }
    return std::isfinite(q->predicted);
}

// Whether the whole row or column read for `q` stays between the neighbouring sides, clear of
// their edges (and their blur): near a corner it would otherwise read the other side.
bool clearOfNeighbours(const ObservedSide& side, const EdgeProfileQuery& q) {
    double towardsLight = q.lightAhead ? 1.0 : -1.0, margin = q.halfWindow + 1.0;
    double reach = q.halfWindow + (q.clearBeyond ? 5 : 3);
    const double ends[2] = {q.predicted - towardsLight * (q.halfWindow + 2), q.predicted + towardsLight * reach};
    for (double at : ends) {
        double x = q.alongRows ? at : q.line, y = q.alongRows ? q.line : at;
        if (!(lineDistance(side.before, x, y) >= margin && lineDistance(side.after, x, y) >= margin)) return false;
    }
    return true;
}

// Crossings at evenly spaced points of the side, one per row or column, wherever the pixels
// read are clear of the neighbouring sides.
void collectCrossings(const BgrxFrame& frame, const double* distortion, const SidePlace& side, int halfWindow,
                      bool probe, Crossings* out) {
    double dx = side.to[0] - side.from[0], dy = side.to[1] - side.from[1], length = std::hypot(dx, dy);
    out->count = out->tried = 0;
    if (!(length >= kMinSamples + 2)) return;
    const ObservedSide observed = observedSide(distortion, side);
    int most = probe ? kMaxProbeSamples : side.innerEdge ? kMaxInnerSamples : kMaxSamples;
    int samples = std::min(most, static_cast<int>(length) - 1);
    // The samples' observed points, one more at each end for the direction there.
    Point at[kMaxSamples + 2];
    for (int i = -1; i <= samples; i++) {
        double s = (1.0 + (length - 2.0) * i / (samples - 1)) / length;
        at[i + 1] = toObserved(distortion, {side.from[0] + s * dx, side.from[1] + s * dy});
    }
    double seen[2 * kMaxSamples];  // the crossings, mapped to ideal coordinates together at the end
    int lastLine = -1;
    bool lastRows = false;
    for (int i = 0; i < samples; i++) {
        EdgeProfileQuery q;
        if (!queryAt(observed, at[i + 1], at[i + 2].x - at[i].x, at[i + 2].y - at[i].y, halfWindow, &q)) continue;
        q.probe = probe;
        q.clearBeyond = side.innerEdge;
        if ((q.line == lastLine && q.alongRows == lastRows) || !clearOfNeighbours(observed, q)) continue;
        lastLine = q.line, lastRows = q.alongRows;
        out->tried++;
        EdgeCrossing c;
        if (!edgeCrossing(frame, q, &c)) continue;
        Point crossing = q.alongRows ? Point{c.position, static_cast<double>(q.line)}
                                     : Point{static_cast<double>(q.line), c.position};
        seen[2 * out->count] = crossing.x, seen[2 * out->count + 1] = crossing.y;
        out->triedAt[out->count] = out->tried - 1;
        out->darkToLight[out->count] = c.darkToLight;
        out->transition[out->count++] = c.transition;
    }
    observedToIdealPoints(distortion, seen, out->count);
    for (int i = 0; i < out->count; i++) out->ideal[i] = {seen[2 * i], seen[2 * i + 1]};
}

// Total least squares line through the points flagged in `use`; false for fewer than two.
bool fitLine(const Crossings& c, const bool* use, double line[3]) {
    double mx = 0, my = 0;
    int n = 0;
    for (int i = 0; i < c.count; i++)
        if (use[i]) mx += c.ideal[i].x, my += c.ideal[i].y, n++;
    if (n < 2) return false;
    mx /= n, my /= n;
    double sxx = 0, sxy = 0, syy = 0;
    for (int i = 0; i < c.count; i++) {
        if (!use[i]) continue;
        double ex = c.ideal[i].x - mx, ey = c.ideal[i].y - my;
        sxx += ex * ex, sxy += ex * ey, syy += ey * ey;
    }
    double angle = 0.5 * std::atan2(2 * sxy, sxx - syy);
    line[0] = -std::sin(angle);
    line[1] = std::cos(angle);
    line[2] = -(line[0] * mx + line[1] * my);
    return std::isfinite(line[2]);
}

// The most rows or columns in a row that gave no crossing on the line.
int longestGap(const Crossings& c, const bool* use) {
    int gap = 0, next = 0;  // the first row or column not yet accounted for
    for (int i = 0; i < c.count; i++) {
        if (!use[i]) continue;
        gap = std::max(gap, c.triedAt[i] - next);
        next = c.triedAt[i] + 1;
    }
    return std::max(gap, c.tried - next);
}

// Fit, drop the crossings far from the first line (a speck of dirt, a reflection), refit. With
// `whole`, the side must be seen along most of its length: a long stretch without crossings on
// the line is a covered side, whose detected line may have followed the cover.
bool fitRobustLine(const Crossings& c, bool whole, double line[3]) {
    if (c.count < kMinSamples || 2 * c.count < c.tried) return false;
    bool use[kMaxSamples];
    std::fill(use, use + c.count, true);
    if (!fitLine(c, use, line)) return false;
    double residual[kMaxSamples], sorted[kMaxSamples];
    for (int i = 0; i < c.count; i++) sorted[i] = residual[i] = std::fabs(lineDistance(line, c.ideal[i].x, c.ideal[i].y));
    double limit = std::max(0.25, 4.0 * 1.4826 * medianInPlace(sorted, c.count));
    int kept = 0;
    for (int i = 0; i < c.count; i++) kept += use[i] = residual[i] <= limit;
    if (kept < kMinSamples || !fitLine(c, use, line)) return false;
    if (!whole) return true;
    for (int i = 0; i < c.count; i++) use[i] = std::fabs(lineDistance(line, c.ideal[i].x, c.ideal[i].y)) <= kOnLine;
    return longestGap(c, use) <= std::max(kMaxGapShare * c.tried, kGapAlwaysAllowed);
}

}  // namespace

bool fitSideOnFrame(const BgrxFrame& frame, const double distortion[4], const SidePlace& side, int halfWindow,
                    bool probe, SideFit* fit) {
    Crossings c;
    collectCrossings(frame, distortion, side, halfWindow, probe, &c);
    if (!fitRobustLine(c, !probe && !side.innerEdge, fit->line)) return false;
    fit->medianTransition = medianInPlace(c.transition, c.count);
    fit->medianDarkToLight = medianInPlace(c.darkToLight, c.count);
    return true;
}
