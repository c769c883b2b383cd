#include "tools/demovideo/table_film.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "tools/demovideo/box_ray.h"
#include "tools/demovideo/table_look.h"

namespace {

constexpr double kTexelsPerUnit = 3.0;
constexpr double kFar = 1e30;

bool invert3(const double m[3][3], double out[3][3]) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (det == 0.0) return false;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            out[r][c] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det;
        }
    return true;
}

void faceNormal(BoxFace face, double n[3]) {
    n[0] = face == kFacePlusX ? 1 : face == kFaceMinusX ? -1 : 0;
    n[1] = face == kFacePlusY ? 1 : face == kFaceMinusY ? -1 : 0;
    n[2] = face == kFaceTop ? 1 : face == kFaceBottom ? -1 : 0;
}

uint8_t toByte(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

}  // namespace

TableFilm::TableFilm(const DemoTable& table, const CameraIntrinsics& camera, const std::vector<SynthPicture>& markers,
                     const FilmSettings& settings)
    : table_(table), camera_(camera), markers_(markers), settings_(settings),
      raster_(paintTableRaster(table, kTexelsPerUnit)) {
    double m[3][3], inverse[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m[r][c] = camera.projection[r][c];
    if (!invert3(m, inverse)) return;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) centre_[r] -= inverse[r][c] * camera.projection[c][3];
    const int ss = std::max(1, settings.supersample);
    rays_.reserve(static_cast<size_t>(camera.width) * camera.height * ss * ss * 3);
    for (int py = 0; py < camera.height; ++py)
        for (int px = 0; px < camera.width; ++px)
            for (int sy = 0; sy < ss; ++sy)
                for (int sx = 0; sx < ss; ++sx) {
                    double ix = 0, iy = 0;
                    observedToIdealExact(camera.distortion, px - 0.5 + (sx + 0.5) / ss, py - 0.5 + (sy + 0.5) / ss,
                                         &ix, &iy);
                    for (int r = 0; r < 3; ++r) rays_.push_back(inverse[r][0] * ix + inverse[r][1] * iy + inverse[r][2]);
                }
}

void TableFilm::colourAlong(const double origin[3], const double dir[3], double rgb[3]) const {
    const Ray ray{{origin[0], origin[1], origin[2]}, {dir[0], dir[1], dir[2]}};
    double nearest = kFar;
    const TableObject* object = nullptr;
    BoxFace face = kFaceTop;
    for (const TableObject& candidate : table_.objects) {
        double t = 0;
        BoxFace f;
        if (rayHitsBox(ray, candidate.box, nearest, &t, &f)) nearest = t, object = &candidate, face = f;
    }
    const double plane = dir[2] < 0 ? -origin[2] / dir[2] : kFar;
    if (object && nearest < plane) {
        const double p[3] = {origin[0] + nearest * dir[0], origin[1] + nearest * dir[1], origin[2] + nearest * dir[2]};
        double u = 0, v = 0, n[3];
        faceCoordinates(object->box, face, p, &u, &v);
        objectColour(*object, face, u, v, rgb);
        faceNormal(face, n);
        const double light = faceLighting(table_, p, n);
        for (int k = 0; k < 3; ++k) rgb[k] *= light;
        return;
    }
    if (plane >= kFar) {
        rgb[0] = 175, rgb[1] = 190, rgb[2] = 205;  // the room beyond the table
        return;
    }
    const double x = origin[0] + plane * dir[0], y = origin[1] + plane * dir[1];
    if (markerColour(table_, markers_, x, y, rgb) || rasterColour(raster_, x, y, rgb)) return;
    woodColour(x, y, rgb);
}

void TableFilm::renderRows(const double pose[3][4], int firstRow, int endRow, std::vector<double>* rgb) const {
    // The camera's centre and rays in table coordinates: X = R^T (C - t).
    double origin[3];
    for (int c = 0; c < 3; ++c) {
        origin[c] = 0;
        for (int r = 0; r < 3; ++r) origin[c] += pose[r][c] * (centre_[r] - pose[r][3]);
    }
    const int ss = std::max(1, settings_.supersample), samples = ss * ss;
    for (int py = firstRow; py < endRow; ++py)
        for (int px = 0; px < camera_.width; ++px) {
            const size_t pixel = static_cast<size_t>(py) * camera_.width + px;
            double sum[3] = {0, 0, 0};
            for (int s = 0; s < samples; ++s) {
                const double* d = &rays_[(pixel * samples + s) * 3];
                double dir[3], c[3];
                for (int k = 0; k < 3; ++k) dir[k] = pose[0][k] * d[0] + pose[1][k] * d[1] + pose[2][k] * d[2];
                colourAlong(origin, dir, c);
                for (int k = 0; k < 3; ++k) sum[k] += c[k];
            }
            for (int k = 0; k < 3; ++k) (*rgb)[pixel * 3 + k] = sum[k] / samples;
        }
}

void TableFilm::render(const double pose[3][4], unsigned seed, std::vector<uint8_t>* bgrx) const {
    const int width = camera_.width, height = camera_.height, pixels = width * height;
    std::vector<double> rgb(static_cast<size_t>(pixels) * 3);
    const int threads = std::clamp(settings_.threads, 1, 16);
    std::vector<std::thread> workers;
    for (int k = 1; k < threads; ++k)
        workers.emplace_back([&, k] { renderRows(pose, height * k / threads, height * (k + 1) / threads, &rgb); });
    renderRows(pose, 0, height / threads, &rgb);
    for (std::thread& worker : workers) worker.join();
    for (int i = 0; i < settings_.blurPasses; ++i) boxBlur(rgb, width, height);
    SynthOptions noise;
    noise.noiseSigma = settings_.noiseSigma;
    noise.seed = seed;
    addSensorNoise(rgb, noise, pixels);
    bgrx->assign(static_cast<size_t>(pixels) * 4, 0);
    for (int p = 0; p < pixels; ++p)
        for (int c = 0; c < 3; ++c) (*bgrx)[p * 4 + c] = toByte(rgb[p * 3 + 2 - c]);
}
