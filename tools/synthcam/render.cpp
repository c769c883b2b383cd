#include <cmath>
#include <random>

#include "synthcam.h"

namespace {

constexpr double kDegree = 3.141592653589793 / 180.0;

struct PlaneView {
    double inverse[3][3];  // ideal image point -> plane point (homogeneous)
    const double (*pose)[4];
};

bool invert3(const double m[3][3], double out[3][3]) {
    double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                 m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (det == 0.0) return false;
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) {
            int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            out[r][c] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det;
        }
    return true;
}

bool makePlaneView(const CameraIntrinsics& cam, const double pose[3][4], PlaneView* view) {
    double h[3][3];
    for (int r = 0; r < 3; r++) {
        const int cols[3] = {0, 1, 3};
        for (int c = 0; c < 3; c++) {
            int k = cols[c];
            h[r][c] = cam.projection[r][0] * pose[0][k] + cam.projection[r][1] * pose[1][k] +
                      cam.projection[r][2] * pose[2][k] + (k == 3 ? cam.projection[r][3] : 0.0);
        }
    }
    view->pose = pose;
    return invert3(h, view->inverse);
}

// Plane point seen at an ideal image point, false when the plane lies behind the camera there.
bool planePoint(const PlaneView& v, double ix, double iy, double* x, double* y) {
    const double (*m)[3] = v.inverse;
    double w = m[2][0] * ix + m[2][1] * iy + m[2][2];
    if (w == 0.0) return false;
    *x = (m[0][0] * ix + m[0][1] * iy + m[0][2]) / w;
    *y = (m[1][0] * ix + m[1][1] * iy + m[1][2]) / w;
    double depth = v.pose[2][0] * *x + v.pose[2][1] * *y + v.pose[2][3];
    return depth > 0.0;
}


void tableColour(double x, double y, double rgb[3]) {
    double grain = 0.5 + 0.5 * std::sin(x * 0.21 + 3.0 * std::sin(y * 0.037));
    double tiles = ((static_cast<long>(std::floor(x / 37.0)) + static_cast<long>(std::floor(y / 37.0))) & 1) ? 12 : 0;
    rgb[0] = 196 + 40 * grain - tiles;
    rgb[1] = 170 + 36 * grain - tiles;
    rgb[2] = 138 + 30 * grain - tiles;
}

bool pictureColour(const SynthMarker& m, double x, double y, double rgb[3]) {
    double h = m.width / 2;
    if (x < -h || x >= h || y <= -h || y > h) return false;
    int n = m.picture->size;
    int col = static_cast<int>((x + h) / m.width * n), row = static_cast<int>((h - y) / m.width * n);
    if (col >= n) col = n - 1;
    if (row >= n) row = n - 1;
    const uint8_t* px = &m.picture->rgb[(row * n + col) * 3];
    for (int c = 0; c < 3; c++) rgb[c] = px[c];
    return true;
}

struct Scene {
    const CameraIntrinsics* camera;
    const SynthMarker* markers;
    int count;
    std::vector<PlaneView> views;
    PlaneView table;
    bool useTable;
    double tableBrightness;
    double ink, paper;
};

void sampleColour(const Scene& s, double ix, double iy, double rgb[3]) {
    double nearest = 1e300;
    bool hit = false;
    for (int k = 0; k < s.count; k++) {
        double x, y, c[3] = {0, 0, 0};
        if (!planePoint(s.views[k], ix, iy, &x, &y) || !pictureColour(s.markers[k], x, y, c)) continue;
        const double (*p)[4] = s.markers[k].pose;
        double depth = p[2][0] * x + p[2][1] * y + p[2][3];
        if (depth >= nearest) continue;
        nearest = depth;
        hit = true;
        for (int i = 0; i < 3; i++) rgb[i] = s.ink == 0.0 && s.paper == 255.0 ? c[i] : s.ink + (s.paper - s.ink) * c[i] / 255.0;
    }
    if (hit) return;
    double x, y;
    if (s.useTable && planePoint(s.table, ix, iy, &x, &y)) {
        tableColour(x, y, rgb);
        if (s.tableBrightness != 1.0)
            for (int i = 0; i < 3; i++) rgb[i] *= s.tableBrightness;
        return;
    }
    rgb[0] = 175, rgb[1] = 190, rgb[2] = 205;
}

// Even-odd rule: inside when a ray to the right crosses the outline an odd number of times.
bool insidePolygon(const std::vector<double>& p, double x, double y) {
    const size_t n = p.size() / 2;
    bool inside = false;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        const double xi = p[2 * i], yi = p[2 * i + 1], xj = p[2 * j], yj = p[2 * j + 1];
        if ((yi > y) != (yj > y) && x < xi + (y - yi) * (xj - xi) / (yj - yi)) inside = !inside;
    }
    return inside;
}

bool occluderColour(const std::vector<SynthOccluder>& occluders, double x, double y, double rgb[3]) {
    for (const SynthOccluder& o : occluders) {
        if (o.polygon.size() < 6 || !insidePolygon(o.polygon, x, y)) continue;
        for (int i = 0; i < 3; i++) rgb[i] = o.rgb[i];
        return true;
    }
    return false;
}

void renderPixels(const Scene& s, const SynthOptions& o, std::vector<double>& rgb) {
    const CameraIntrinsics& cam = *s.camera;
    int ss = o.supersample < 1 ? 1 : o.supersample;
    for (int py = 0; py < cam.height; py++) {
        for (int px = 0; px < cam.width; px++) {
            double sum[3] = {0, 0, 0};
            for (int sy = 0; sy < ss; sy++)
                for (int sx = 0; sx < ss; sx++) {
                    double ix, iy, c[3] = {0, 0, 0};
                    const double ox = px - 0.5 + (sx + 0.5) / ss, oy = py - 0.5 + (sy + 0.5) / ss;
                    if (!occluderColour(o.occluders, ox, oy, c)) {
                        observedToIdealExact(cam.distortion, ox, oy, &ix, &iy);
                        sampleColour(s, ix, iy, c);
                    }
                    for (int i = 0; i < 3; i++) sum[i] += c[i];
                }
            for (int i = 0; i < 3; i++) rgb[(static_cast<size_t>(py) * cam.width + px) * 3 + i] = sum[i] / (ss * ss);
        }
    }
}



uint8_t toByte(double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : std::lround(v)); }

void projectCorners(const CameraIntrinsics& cam, const SynthMarker& m, SynthFrame* frame) {
    double h = m.width / 2;
    const double model[4][2] = {{-h, h}, {h, h}, {h, -h}, {-h, -h}};
    std::vector<double> ideal, observed;
    for (const auto& point : model) {
        double cam3[3], img[3];
        for (int r = 0; r < 3; r++) cam3[r] = m.pose[r][0] * point[0] + m.pose[r][1] * point[1] + m.pose[r][3];
        for (int r = 0; r < 3; r++)
            img[r] = cam.projection[r][0] * cam3[0] + cam.projection[r][1] * cam3[1] + cam.projection[r][2] * cam3[2] +
                     cam.projection[r][3];
        double ix = img[0] / img[2], iy = img[1] / img[2], ox, oy;
        idealToObserved(cam.distortion, ix, iy, &ox, &oy);
        ideal.insert(ideal.end(), {ix, iy});
        observed.insert(observed.end(), {ox, oy});
    }
    frame->idealCorners.push_back(ideal);
    frame->observedCorners.push_back(observed);
}

bool allZero(const double pose[3][4]) {
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 4; c++)
            if (pose[r][c] != 0.0) return false;
    return true;
}

}  // namespace

// The forward lens model inverted to full precision by fixed-point refinement.
void observedToIdealExact(const double dist[4], double ox, double oy, double* ix, double* iy) {
    observedToIdeal(dist, ox, oy, ix, iy);
    for (int i = 0; i < 6; i++) {
        double fx, fy;
        idealToObserved(dist, *ix, *iy, &fx, &fy);
        *ix += (ox - fx) / dist[3];
        *iy += (oy - fy) / dist[3];
    }
}

void boxBlur(std::vector<double>& rgb, int w, int h) {
    std::vector<double> out(rgb);
    for (int y = 1; y < h - 1; y++)
        for (int x = 1; x < w - 1; x++)
            for (int c = 0; c < 3; c++) {
                double sum = 0;
                for (int dy = -1; dy <= 1; dy++)
                    for (int dx = -1; dx <= 1; dx++) sum += rgb[((y + dy) * w + x + dx) * 3 + c];
                out[(y * w + x) * 3 + c] = sum / 9.0;
            }
    rgb.swap(out);
}

void addSensorNoise(std::vector<double>& rgb, const SynthOptions& o, int pixels) {
    std::mt19937 random(o.seed);
    std::normal_distribution<double> gauss(0.0, o.noiseSigma > 0 ? o.noiseSigma : 1.0);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    for (int p = 0; p < pixels; p++) {
        if (o.noiseSigma > 0)
            for (int c = 0; c < 3; c++) rgb[p * 3 + c] += gauss(random);
        if (o.saltPepper > 0 && uniform(random) < o.saltPepper)
            for (int c = 0; c < 3; c++) rgb[p * 3 + c] = 10.0;
    }
}

void makeMarkerPose(double distance, double tiltDeg, double yawDeg, double spinDeg, double offsetX, double offsetY,
                    double pose[3][4]) {
    double ct = std::cos(tiltDeg * kDegree), st = std::sin(tiltDeg * kDegree);
    double cy = std::cos(yawDeg * kDegree), sy = std::sin(yawDeg * kDegree);
    double cs = std::cos(spinDeg * kDegree), ss = std::sin(spinDeg * kDegree);
    // Facing the camera: marker x -> camera x, marker y -> camera up (-y), marker z -> towards the camera.
    const double face[3][3] = {{1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
    const double tilt[3][3] = {{1, 0, 0}, {0, ct, -st}, {0, st, ct}};
    const double yaw[3][3] = {{cy, 0, sy}, {0, 1, 0}, {-sy, 0, cy}};
    const double spin[3][3] = {{cs, -ss, 0}, {ss, cs, 0}, {0, 0, 1}};
    const double(*chain[3])[3] = {tilt, yaw, spin};
    double r[3][3];
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) r[i][j] = face[i][j];
    for (auto m : chain) {
        double next[3][3];
        for (int i = 0; i < 3; i++)
            for (int j = 0; j < 3; j++) next[i][j] = r[i][0] * m[0][j] + r[i][1] * m[1][j] + r[i][2] * m[2][j];
        for (int i = 0; i < 3; i++)
            for (int j = 0; j < 3; j++) r[i][j] = next[i][j];
    }
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) pose[i][j] = r[i][j];
    pose[0][3] = offsetX;
    pose[1][3] = offsetY;
    pose[2][3] = distance;
}

std::vector<SynthMarker> placeOnMat(const std::vector<SynthMatMarker>& markers, const double matPose[3][4],
                                    const SynthPicture* sheet, double sheetWidth) {
    std::vector<SynthMarker> placed;
    auto place = [&](const SynthPicture* picture, double x, double y, double z, double width) {
        SynthMarker m;
        m.picture = picture;
        m.width = width;
        for (int r = 0; r < 3; r++) {
            for (int c = 0; c < 3; c++) m.pose[r][c] = matPose[r][c];
            m.pose[r][3] = matPose[r][0] * x + matPose[r][1] * y + matPose[r][2] * z + matPose[r][3];
        }
        placed.push_back(m);
    };
    for (const SynthMatMarker& m : markers) place(m.picture, m.centre[0], m.centre[1], 0.0, m.width);
    place(sheet, 0.0, 0.0, -0.05, sheetWidth);
    return placed;
}

CameraIntrinsics makeWebcamIntrinsics(int width, int height) {
    CameraIntrinsics cam{};
    cam.width = width;
    cam.height = height;
    double k = width / 640.0;
    double f = 660.0 * k;
    // Centred on the height too, so that wide frames (16:9) keep the principal point near the middle.
    double projection[3][4] = {{f, 0.0, 322.5 * k, 0.0}, {0.0, f, height / 2.0 - 1.5 * k, 0.0}, {0.0, 0.0, 1.0, 0.0}};
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 4; c++) cam.projection[r][c] = projection[r][c];
    cam.distortion[0] = 321.0 * k;
    cam.distortion[1] = height / 2.0 + k;
    cam.distortion[2] = 10.0 / (k * k);  // mild barrel: about 6 pixels at the image corners
    cam.distortion[3] = 1.0;
    return cam;
}

int renderSynthFrame(const CameraIntrinsics& camera, const SynthMarker* markers, int count,
                     const SynthOptions& options, SynthFrame* frame) {
    if (camera.width <= 0 || camera.height <= 0 || camera.distortion[3] == 0.0) return -1;
    Scene scene{&camera, markers, count, std::vector<PlaneView>(count), {}, options.useTable, options.tableBrightness,
                options.ink, options.paper};
    for (int k = 0; k < count; k++)
        if (!markers[k].picture || !makePlaneView(camera, markers[k].pose, &scene.views[k])) return -1;
    const double(*tablePose)[4] = options.tablePose;
    if (allZero(options.tablePose)) tablePose = count > 0 ? markers[0].pose : nullptr;
    scene.useTable = options.useTable && tablePose && makePlaneView(camera, tablePose, &scene.table);
    int pixels = camera.width * camera.height;
    std::vector<double> rgb(static_cast<size_t>(pixels) * 3);
    renderPixels(scene, options, rgb);
    applySynthLighting(options.lighting, camera.width, camera.height, rgb);
    std::vector<uint8_t> bytes(rgb.size());
    if (options.webcam.enabled) {
        if (!applyWebcam(options.webcam, options.seed, camera.width, camera.height, rgb, &bytes)) return -1;
    } else {
        for (int i = 0; i < options.blurPasses; i++) boxBlur(rgb, camera.width, camera.height);
        addSensorNoise(rgb, options, pixels);
        for (size_t i = 0; i < rgb.size(); i++) bytes[i] = toByte(rgb[i]);
    }
    frame->width = camera.width;
    frame->height = camera.height;
    frame->bgrx.assign(static_cast<size_t>(pixels) * 4, 0);
    for (int p = 0; p < pixels; p++)
        for (int c = 0; c < 3; c++) frame->bgrx[p * 4 + c] = bytes[p * 3 + 2 - c];
    frame->observedCorners.clear();
    frame->idealCorners.clear();
    for (int k = 0; k < count; k++) projectCorners(camera, markers[k], frame);
    return 0;
}
