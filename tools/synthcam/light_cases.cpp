#include <cmath>
#include <random>

#include "synthcam.h"

namespace {

constexpr double kPi = 3.141592653589793;

struct Draw {
    std::mt19937 random;
    double uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); }
};

// Observed-free pinhole projection of the marker's corners; false when one is outside the frame
// with `margin` pixels to spare.
bool cornersInView(const CameraIntrinsics& cam, const double pose[3][4], double margin, double* side,
                   double centre[2]) {
    const double h = 40.0, model[4][2] = {{-h, h}, {h, h}, {h, -h}, {-h, -h}};
    double u[4], v[4];
    for (int k = 0; k < 4; k++) {
        double p[3];
        for (int r = 0; r < 3; r++) p[r] = pose[r][0] * model[k][0] + pose[r][1] * model[k][1] + pose[r][3];
        if (p[2] <= 1.0) return false;
        u[k] = (cam.projection[0][0] * p[0] + cam.projection[0][1] * p[1] + cam.projection[0][2] * p[2]) / p[2];
        v[k] = (cam.projection[1][1] * p[1] + cam.projection[1][2] * p[2]) / p[2];
        if (u[k] < margin || v[k] < margin || u[k] > cam.width - margin || v[k] > cam.height - margin) return false;
    }
    *side = 0;
    for (int k = 0; k < 4; k++) *side += std::hypot(u[k] - u[(k + 1) % 4], v[k] - v[(k + 1) % 4]) / 4;
    centre[0] = (u[0] + u[1] + u[2] + u[3]) / 4;
    centre[1] = (v[0] + v[1] + v[2] + v[3]) / 4;
    return true;
}

// A marker somewhere in view: returns its side and centre in pixels.
void placeMarker(Draw& d, const CameraIntrinsics& cam, double pose[3][4], double* side, double centre[2]) {
    double scale = cam.width / 640.0, f = cam.projection[0][0];
    for (;;) {
        double distance = d.uniform(280, 750) * scale;
        double u = d.uniform(0.15, 0.85) * cam.width, v = d.uniform(0.15, 0.85) * cam.height;
        double x = (u - cam.projection[0][2]) / f * distance, y = (v - cam.projection[1][2]) / f * distance;
        makeMarkerPose(distance, d.uniform(0, 50), d.uniform(-25, 25), d.uniform(0, 360), x, y, pose);
        if (cornersInView(cam, pose, 12.0 * scale, side, centre)) return;
    }
}

bool farApart(const double a[2], double sideA, const double b[2], double sideB) {
    return std::hypot(a[0] - b[0], a[1] - b[1]) > 0.8 * (sideA + sideB) + 10;
}

void setLight(Draw& d, LightCondition condition, double side, const double centre[2], SynthOptions& o) {
    SynthLighting& l = o.lighting;
    switch (condition) {
        case LightCondition::Normal: l.exposure = d.uniform(0.85, 1.15); break;
        case LightCondition::Dim:
            l.exposure = d.uniform(0.12, 0.3);
            o.noiseSigma = d.uniform(2.0, 4.0);
            break;
        case LightCondition::OverExposed:
            l.exposure = d.uniform(1.6, 2.8);
            l.flare = d.uniform(0.02, 0.08);
            o.blurPasses = d.uniform(0, 1) < 0.5 ? 1 : 0;
            break;
        case LightCondition::Gradient: {
            // The light changes by a factor of 2.5 to 6 across the marker.
            double slope = std::log(d.uniform(2.5, 6.0)) / side, angle = d.uniform(0, 2 * kPi);
            l.gradient[0] = slope * std::cos(angle);
            l.gradient[1] = slope * std::sin(angle);
            l.origin[0] = centre[0];
            l.origin[1] = centre[1];
            l.exposure = d.uniform(0.5, 1.1);
            break;
        }
        case LightCondition::ShadowEdge: {
            // A straight shadow edge through the marker, not far from its centre.
            double angle = d.uniform(0, 2 * kPi);
            double px = centre[0] + d.uniform(-0.3, 0.3) * side, py = centre[1] + d.uniform(-0.3, 0.3) * side;
            l.shadowLine[0] = std::cos(angle);
            l.shadowLine[1] = std::sin(angle);
            l.shadowLine[2] = -(l.shadowLine[0] * px + l.shadowLine[1] * py);
            l.shadowFactor = d.uniform(0.25, 0.5);
            l.penumbra = d.uniform(0.5, 5.0);
            l.exposure = d.uniform(0.9, 1.2);
            break;
        }
    }
}

}  // namespace

const char* lightConditionName(LightCondition condition) {
    switch (condition) {
        case LightCondition::Normal: return "normal";
        case LightCondition::Dim: return "dim";
        case LightCondition::OverExposed: return "over-exposed";
        case LightCondition::Gradient: return "gradient";
        case LightCondition::ShadowEdge: return "shadow-edge";
    }
    return "?";
}

LightCase makeLightCase(LightCondition condition, const CameraIntrinsics& camera, unsigned seed) {
    Draw d{std::mt19937(seed * 7919u + static_cast<unsigned>(condition))};
    LightCase c;
    SynthOptions& o = c.options;
    o.supersample = 2;
    o.seed = seed;
    o.noiseSigma = d.uniform(1.0, 3.0);
    o.tableBrightness = d.uniform(0.6, 1.0);
    o.ink = d.uniform(10, 35);
    o.paper = d.uniform(200, 240);
    double side, centre[2];
    placeMarker(d, camera, c.pose, &side, centre);
    if (d.uniform(0, 1) < 0.5) {
        double otherSide, otherCentre[2];
        for (int attempt = 0; attempt < 20 && !c.hasDistractor; attempt++) {
            placeMarker(d, camera, c.distractorPose, &otherSide, otherCentre);
            c.hasDistractor = farApart(centre, side, otherCentre, otherSide);
        }
    }
    setLight(d, condition, side, centre, o);
    return c;
}

namespace {

double worstCornerError(const DetectedMarker& m, const std::vector<double>& truth) {
    double worst = 0.0;
    for (int j = 0; j < 4; j++) {
        int k = (j + m.orientation) % 4;  // detected corner j sits at picture corner j + orientation
        worst = std::fmax(worst, std::hypot(m.corners[j][0] - truth[2 * k], m.corners[j][1] - truth[2 * k + 1]));
    }
    return worst;
}

bool insideQuad(const std::vector<double>& q, double x, double y) {
    bool inside = false;
    for (int i = 0, j = 3; i < 4; j = i++)
        if ((q[2 * i + 1] > y) != (q[2 * j + 1] > y) &&
            x < (q[2 * j] - q[2 * i]) * (y - q[2 * i + 1]) / (q[2 * j + 1] - q[2 * i + 1]) + q[2 * i])
            inside = !inside;
    return inside;
}

}  // namespace

LightScore scoreDetection(const DetectedMarker* markers, int count, const SynthFrame& frame, int id,
                          double tolerance) {
    LightScore score;
    if (frame.idealCorners.empty()) return score;
    const std::vector<double>& truth = frame.idealCorners[0];
    for (int i = 0; i < count; i++) {
        const DetectedMarker& m = markers[i];
        if (m.id < 0) continue;
        bool here = m.id == id && m.orientation >= 0 && insideQuad(frame.observedCorners[0], m.center[0], m.center[1]);
        // The right marker in the wrong quarter turn puts every corner a side away.
        if (here && worstCornerError(m, truth) <= tolerance)
            score.found = true;
        else if (!here || worstCornerError(m, truth) > 0.5 * std::hypot(truth[0] - truth[2], truth[1] - truth[3]))
            score.falseIds++;
    }
    return score;
}
