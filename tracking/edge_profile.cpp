#include "tracking/edge_profile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace {

// Darkest-to-lightest difference (of the three-byte sum) a usable edge needs.
constexpr double kMinContrast = 60.0;
// How far the dark pixels may differ from each other, and the light ones from their straight
// line, as a share of the contrast.
constexpr double kMaxLevelNoise = 0.3;
// Widest transition accepted, relative to a straight ramp across the whole window: a wider one
// runs past the window, and the levels read beside it are not the plateaus yet. A probe only
// has to see the edge, not measure it.
constexpr double kMaxTransitionShare = 0.53;
constexpr double kMaxProbeTransitionShare = 0.97;

// Dark shares within this of 0 or 1 count as plateau: noise there says nothing about blur.
constexpr double kShareDeadZone = 0.1;

constexpr double kMaxClearDimming = 0.1;

constexpr int kMaxProfile = 2 * kMaxEdgeHalfWindow + 8;

int greyOf(const uint8_t* pixel) { return pixel[0] + pixel[1] + pixel[2]; }

// How far a dark share is from both plateaus: p (1 - p) of the share with the dead zones cut off.
double partialness(double share) {
    double p = std::clamp((share - kShareDeadZone) / (1.0 - 2 * kShareDeadZone), 0.0, 1.0);
    return p * (1.0 - p);
}

double rampTransition(int samples) {
    double sum = 0.0;
    for (int j = 1; j <= samples; j++) sum += partialness(static_cast<double>(j) / (samples + 1));
    return sum;
}

// The transition of a straight ramp across the window, per half window.
double rampTransitionFor(int halfWindow) {
    static const auto table = [] {
        std::array<double, kMaxEdgeHalfWindow + 1> t{};
        for (int h = 1; h <= kMaxEdgeHalfWindow; h++) t[h] = rampTransition(2 * h + 1);
        return t;
    }();
    return table[halfWindow];
}

// Grey values from the dark side to the light side: index 0 is `first` pixels before the centre.
bool readProfile(const BgrxFrame& f, const EdgeProfileQuery& q, int centre, int first, int count, double* grey) {
    int extent = q.alongRows ? f.width : f.height, across = q.alongRows ? f.height : f.width;
    int step = q.lightAhead ? 1 : -1;
    int a = centre + step * first, b = centre + step * (first + count - 1);
    if (q.line < 0 || q.line >= across || a < 0 || b < 0 || a >= extent || b >= extent) return false;
    for (int j = 0; j < count; j++) {
        int at = a + step * j;
        size_t pixel = q.alongRows ? static_cast<size_t>(q.line) * f.width + at : static_cast<size_t>(at) * f.width + q.line;
        grey[j] = greyOf(f.bgrx + 4 * pixel);
    }
    return true;
}

// Where the grey value rises fastest, in pixels from pixel 0: rise[i] is the step from pixel
// i - 1 to pixel i. A gaussian through the three steepest steps, or a parabola when the step is
// sharper than the pixels.
bool steepestRise(const double* rise, int count, double* at) {
    int m = 1;
    for (int i = 2; i < count - 1; i++)
        if (rise[i] > rise[m]) m = i;
    double a = rise[m - 1], b = rise[m], c = rise[m + 1];
    if (!(b > 0)) return false;
    if (a > 0 && c > 0) {
        double la = std::log(a), lb = std::log(b), lc = std::log(c), bend = la - 2 * lb + lc;
        if (bend < 0) {
            *at = m - 0.5 + 0.5 * (la - lc) / bend;
            return true;
        }
    }
    double bend = a - 2 * b + c;
    *at = m - 0.5 + (bend < 0 ? std::clamp(0.5 * (a - c) / bend, -0.5, 0.5) : 0.0);
    return true;
}

// The profile around one crossing: pixel j (from -h - 2 to h + 3) lies j pixels from the
// centre towards the light side.
struct Profile {
    int h;
    double grey[kMaxProfile];
    double dark, lightMid, lightSlope;
    double at(int j) const { return grey[j + h + 2]; }
    double light(int j) const { return lightMid + lightSlope * (j - (h + 2)); }
};

// Dark level from the two pixels before the window, light level as a line through the three
// after it; false when there is too little contrast or the levels are not flat enough.
bool readLevels(Profile* p) {
    int h = p->h;
    p->dark = (p->at(-h - 2) + p->at(-h - 1)) / 2;
    p->lightMid = (p->at(h + 1) + p->at(h + 2) + p->at(h + 3)) / 3;
    p->lightSlope = (p->at(h + 3) - p->at(h + 1)) / 2;
    double contrast = p->light(0) - p->dark;
    if (!(contrast >= kMinContrast)) return false;
    double limit = kMaxLevelNoise * contrast;
    double bend = p->at(h + 2) - (p->at(h + 1) + p->at(h + 3)) / 2;
    return std::fabs(p->at(-h - 1) - p->at(-h - 2)) <= limit && std::fabs(bend) <= limit &&
           std::fabs(p->lightSlope) * (h + 2) <= limit;
}

// Whether the two pixels past the light read stay as light: a darker picture there would have
// dimmed the light level with its blur.
bool lightHoldsBeyond(const Profile& p) {
    double limit = kMaxClearDimming * (p.light(0) - p.dark);
    return p.at(p.h + 4) >= p.light(p.h + 4) - limit && p.at(p.h + 5) >= p.light(p.h + 5) - limit;
}

}  // namespace

bool edgeCrossing(const BgrxFrame& f, const EdgeProfileQuery& q, EdgeCrossing* crossing) {
    const int h = q.halfWindow;
    if (h < 1 || h > kMaxEdgeHalfWindow || !std::isfinite(q.predicted) || std::fabs(q.predicted) > 1e6) return false;
    const int centre = static_cast<int>(std::floor(q.predicted + 0.5));
    Profile p;
    p.h = h;
    if (!readProfile(f, q, centre, -h - 2, 2 * h + (q.clearBeyond ? 8 : 6), p.grey) || !readLevels(&p) ||
        (q.clearBeyond && !lightHoldsBeyond(p)))
        return false;
    double darkLength = 0.0, transition = 0.0;
    for (int j = -h; j <= h; j++) {
        double share = (p.light(j) - p.at(j)) / (p.light(j) - p.dark);
        darkLength += share;
        transition += partialness(share);
    }
    double limit = (q.probe ? kMaxProbeTransitionShare : kMaxTransitionShare) * rampTransitionFor(h);
    if (transition > limit) return false;
    double byArea = -h - 0.5 + darkLength, byRise;  // from the centre pixel towards the light side
    double rise[2 * kMaxEdgeHalfWindow + 3];
    for (int j = -h - 1; j <= h + 1; j++) rise[j + h + 1] = p.at(j) - p.at(j - 1);
    if (!steepestRise(rise, 2 * h + 3, &byRise)) return false;
    byRise -= h + 1;
    if (std::fabs(byRise) > h - 0.25 || !std::isfinite(byArea)) return false;
    double offset = q.probe ? byRise : h == 1 ? byArea : (byArea + byRise) / 2;
    crossing->position = centre + (q.lightAhead ? offset : -offset);
    crossing->transition = transition;
    crossing->darkToLight = p.dark / p.light(0);
    return true;
}
