#include "tools/demovideo/table_raster.h"

#include <algorithm>
#include <cmath>

#include "tools/demovideo/box_ray.h"
#include "tools/demovideo/table_look.h"

namespace {

constexpr int kLampSamples = 32;
constexpr double kShadowDepth = 0.3;  // the darkest shadow keeps 70 % of the light

// Points spread evenly over the lamp's disc (a sunflower spiral).
void lampSample(const TableLight& light, int k, double out[3]) {
    const double golden = 2.399963229728653;
    const double r = light.radius * std::sqrt((k + 0.5) / kLampSamples), a = k * golden;
    out[0] = light.position[0] + r * std::cos(a);
    out[1] = light.position[1] + r * std::sin(a);
    out[2] = light.position[2];
}

double distanceToFootprint(const TableBox& box, double x, double y) {
    const double dx = std::max(0.0, std::fabs(x - box.centre[0]) - box.size[0] / 2);
    const double dy = std::max(0.0, std::fabs(y - box.centre[1]) - box.size[1] / 2);
    return std::hypot(dx, dy);
}

// Shadows reach at most this far from an object's foot.
double shadowReach(const DemoTable& table, const TableBox& box) {
    const double height = box.size[2];
    const double lampHeight = table.light.position[2];
    const double far = std::hypot(box.centre[0] - table.light.position[0], box.centre[1] - table.light.position[1]) +
                       std::max(box.size[0], box.size[1]) + table.light.radius;
    return 10.0 + far * height / (lampHeight - height);
}

double blockedShare(const DemoTable& table, const TableObject& object, double x, double y) {
    int blocked = 0;
    for (int k = 0; k < kLampSamples; ++k) {
        double lamp[3];
        lampSample(table.light, k, lamp);
        const Ray ray{{x, y, 0.0}, {lamp[0] - x, lamp[1] - y, lamp[2]}};
        double t = 0;
        BoxFace face;
        blocked += rayHitsBox(ray, object.box, 1.0, &t, &face);
    }
    return static_cast<double>(blocked) / kLampSamples;
}

}  // namespace

double tableLighting(const DemoTable& table, double x, double y) {
    double light = 1.0;
    for (const TableObject& object : table.objects) {
        const double d = distanceToFootprint(object.box, x, y);
        if (d > shadowReach(table, object.box)) continue;
        light -= kShadowDepth * blockedShare(table, object, x, y);
        light -= 0.12 * std::exp(-d / 4.0);  // darker right at the foot
    }
    return std::max(light, 1.0 - kShadowDepth);
}

double faceLighting(const DemoTable& table, const double p[3], const double n[3]) {
    double l[3] = {table.light.position[0] - p[0], table.light.position[1] - p[1], table.light.position[2] - p[2]};
    const double length = std::sqrt(l[0] * l[0] + l[1] * l[1] + l[2] * l[2]);
    const double facing = std::max(0.0, (l[0] * n[0] + l[1] * n[1] + l[2] * n[2]) / length);
    const double foot = n[2] == 0.0 ? 0.92 + 0.08 * std::min(1.0, p[2] / 8.0) : 1.0;
    return (table.light.ambient + (1.0 - table.light.ambient) * facing) * foot;
}

TableRaster paintTableRaster(const DemoTable& table, double texelsPerUnit) {
    double reachX = table.mat.sheetHalf[0], reachY = table.mat.sheetHalf[1];
    for (const TableObject& object : table.objects) {
        const double r = shadowReach(table, object.box);
        reachX = std::max(reachX, std::fabs(object.box.centre[0]) + object.box.size[0] / 2 + r);
        reachY = std::max(reachY, std::fabs(object.box.centre[1]) + object.box.size[1] / 2 + r);
    }
    TableRaster raster;
    raster.texelsPerUnit = texelsPerUnit;
    raster.x0 = -reachX, raster.y0 = -reachY;
    raster.width = static_cast<int>(2 * reachX * texelsPerUnit) + 1;
    raster.height = static_cast<int>(2 * reachY * texelsPerUnit) + 1;
    raster.rgb.resize(static_cast<size_t>(raster.width) * raster.height * 3);
    const double sub = 0.25 / texelsPerUnit;  // 2 x 2 samples per texel against jagged print edges
    for (int j = 0; j < raster.height; ++j)
        for (int i = 0; i < raster.width; ++i) {
            const double x = raster.x0 + i / texelsPerUnit, y = raster.y0 + j / texelsPerUnit;
            double sum[3] = {0, 0, 0};
            for (int s = 0; s < 4; ++s) {
                const double sx = x + ((s & 1) ? sub : -sub), sy = y + ((s & 2) ? sub : -sub);
                double c[3];
                if (!matColour(table, sx, sy, c)) woodColour(sx, sy, c);
                for (int k = 0; k < 3; ++k) sum[k] += c[k] / 4;
            }
            const double light = tableLighting(table, x, y);
            uint8_t* out = &raster.rgb[(static_cast<size_t>(j) * raster.width + i) * 3];
            for (int k = 0; k < 3; ++k) out[k] = static_cast<uint8_t>(std::clamp(sum[k] * light, 0.0, 255.0) + 0.5);
        }
    return raster;
}

bool rasterColour(const TableRaster& raster, double x, double y, double rgb[3]) {
    const double fx = (x - raster.x0) * raster.texelsPerUnit, fy = (y - raster.y0) * raster.texelsPerUnit;
    if (fx < 0 || fy < 0 || fx >= raster.width - 1 || fy >= raster.height - 1) return false;
    const int i = static_cast<int>(fx), j = static_cast<int>(fy);
    const double sx = fx - i, sy = fy - j;
    const uint8_t* p = &raster.rgb[(static_cast<size_t>(j) * raster.width + i) * 3];
    const uint8_t* q = p + static_cast<size_t>(raster.width) * 3;
    for (int k = 0; k < 3; ++k) {
        const double top = p[k] + (p[k + 3] - p[k]) * sx, bottom = q[k] + (q[k + 3] - q[k]) * sx;
        rgb[k] = top + (bottom - top) * sy;
    }
    return true;
}
