#include "tracking/side_fit.h"

#include <algorithm>
#include <cmath>

#include "tracking/camera.h"
#include "tracking/median.h"

namespace {

constexpr int kMaxSamples = 48;
constexpr int kMaxProbeSamples = 16;  // enough for the place and the width of the edge
constexpr int kMinSamples = 6;

struct Point {
    double x, y;
};

struct Crossings {
    Point ideal[kMaxSamples];
    double transition[kMaxSamples];
    int count = 0;
    int tried = 0;
};

Point toObserved(const double* distortion, Point i) {
    Point o;
    idealToObserved(distortion, i.x, i.y, &o.x, &o.y);
    return o;
}

Point toIdeal(const double* distortion, Point o) {
    Point i;
    observedToIdeal(distortion, o.x, o.y, &i.x, &i.y);
    return i;
}

double distanceToLine(const double line[3], Point p) { return line[0] * p.x + line[1] * p.y + line[2]; }

// The row or column through the observed image of ideal point `at`, and where the side crosses
// it: the side's observed direction is taken from two points a pixel either side of `at`.
bool queryAt(const double* distortion, const SidePlace& side, Point at, Point dir, int halfWindow,
             EdgeProfileQuery* q) {
    Point o = toObserved(distortion, at);
    Point ahead = toObserved(distortion, {at.x + dir.x, at.y + dir.y});
    Point behind = toObserved(distortion, {at.x - dir.x, at.y - dir.y});
    Point out = toObserved(distortion, {at.x + side.outward[0], at.y + side.outward[1]});
    double tx = ahead.x - behind.x, ty = ahead.y - behind.y;
    q->alongRows = std::fabs(ty) >= std::fabs(tx);  // a steep side crosses rows once each
    q->halfWindow = halfWindow;
    if (q->alongRows) {
        q->line = static_cast<int>(std::lround(o.y));
        q->predicted = o.x + (q->line - o.y) * tx / ty;
        q->lightAhead = out.x > o.x;
    } else {
        q->line = static_cast<int>(std::lround(o.x));
        q->predicted = o.y + (q->line - o.x) * ty / tx;
        q->lightAhead = out.y > o.y;
    }
    return std::isfinite(q->predicted) && std::fabs(o.x) < 1e6 && std::fabs(o.y) < 1e6;
}

// Whether the whole row or column read for `q` stays between the neighbouring sides, clear of
// their edges (and their blur): near a corner it would otherwise read the other side.
bool clearOfNeighbours(const double* distortion, const SidePlace& side, const EdgeProfileQuery& q) {
    double towardsLight = q.lightAhead ? 1.0 : -1.0, margin = q.halfWindow + 1.0;
    const double ends[2] = {q.predicted - towardsLight * (q.halfWindow + 2), q.predicted + towardsLight * (q.halfWindow + 3)};
    for (double at : ends) {
        Point o = q.alongRows ? Point{at, static_cast<double>(q.line)} : Point{static_cast<double>(q.line), at};
        Point i = toIdeal(distortion, o);
        if (!(distanceToLine(side.before, i) >= margin && distanceToLine(side.after, i) >= margin)) return false;
    }
    return true;
}

// Crossings at evenly spaced points of the side, one per row or column, wherever the pixels
// read are clear of the neighbouring sides.
void collectCrossings(const GreyFrame& frame, const double* distortion, const SidePlace& side, int halfWindow,
                      bool probe, Crossings* out) {
    double dx = side.to[0] - side.from[0], dy = side.to[1] - side.from[1], length = std::hypot(dx, dy);
    Point dir{dx / length, dy / length};
    out->count = out->tried = 0;
    if (!(length >= kMinSamples + 2)) return;
    int samples = std::min(probe ? kMaxProbeSamples : kMaxSamples, static_cast<int>(length) - 1);
    int lastLine = -1;
    bool lastRows = false;
    for (int i = 0; i < samples; i++) {
        double s = 1.0 + (length - 2.0) * i / (samples - 1);
        EdgeProfileQuery q;
        if (!queryAt(distortion, side, {side.from[0] + s * dir.x, side.from[1] + s * dir.y}, dir, halfWindow, &q))
            continue;
        q.probe = probe;
        if ((q.line == lastLine && q.alongRows == lastRows) || !clearOfNeighbours(distortion, side, q)) continue;
        lastLine = q.line, lastRows = q.alongRows;
        out->tried++;
        EdgeCrossing c;
        if (!edgeCrossing(frame, q, &c)) continue;
        Point observed = q.alongRows ? Point{c.position, static_cast<double>(q.line)}
                                     : Point{static_cast<double>(q.line), c.position};
        out->ideal[out->count] = toIdeal(distortion, observed);
        out->transition[out->count++] = c.transition;
    }
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

// Fit, drop the crossings far from the first line (a speck of dirt, a reflection), refit.
bool fitRobustLine(const Crossings& c, double line[3]) {
    if (c.count < kMinSamples || 2 * c.count < c.tried) return false;
    bool use[kMaxSamples];
    std::fill(use, use + c.count, true);
    if (!fitLine(c, use, line)) return false;
    double residual[kMaxSamples], sorted[kMaxSamples];
    for (int i = 0; i < c.count; i++) sorted[i] = residual[i] = std::fabs(distanceToLine(line, c.ideal[i]));
    double limit = std::max(0.25, 4.0 * 1.4826 * medianInPlace(sorted, c.count));
    int kept = 0;
    for (int i = 0; i < c.count; i++) kept += use[i] = residual[i] <= limit;
    return kept >= kMinSamples && fitLine(c, use, line);
}

}  // namespace

bool fitSideOnFrame(const GreyFrame& frame, const double distortion[4], const SidePlace& side, int halfWindow,
                    bool probe, SideFit* fit) {
    Crossings c;
    collectCrossings(frame, distortion, side, halfWindow, probe, &c);
    if (!fitRobustLine(c, fit->line)) return false;
    fit->medianTransition = medianInPlace(c.transition, c.count);
    return true;
}
