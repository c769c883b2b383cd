#include "tools/demovideo/table_look.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "bitmap_font.h"

namespace {

struct Tint {
    double r, g, b;
};

void put(const Tint& c, double rgb[3]) {
    rgb[0] = c.r, rgb[1] = c.g, rgb[2] = c.b;
}

void scale(double rgb[3], double k) {
    for (int i = 0; i < 3; ++i) rgb[i] *= k;
}

Tint blend(const Tint& a, const Tint& b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

double hash2(long i, long j) {
    unsigned long h = static_cast<unsigned long>(i) * 374761393UL + static_cast<unsigned long>(j) * 668265263UL;
    h = (h ^ (h >> 13)) * 1274126177UL;
    return static_cast<double>((h ^ (h >> 16)) & 0xffff) / 65536.0;
}

// Smooth value noise 0..1 with features about `cell` units apart.
double valueNoise(double x, double y, double cell) {
    const double fx = x / cell, fy = y / cell;
    const long i = static_cast<long>(std::floor(fx)), j = static_cast<long>(std::floor(fy));
    double sx = fx - i, sy = fy - j;
    sx = sx * sx * (3 - 2 * sx);
    sy = sy * sy * (3 - 2 * sy);
    const double top = hash2(i, j) + (hash2(i + 1, j) - hash2(i, j)) * sx;
    const double bottom = hash2(i, j + 1) + (hash2(i + 1, j + 1) - hash2(i, j + 1)) * sx;
    return top + (bottom - top) * sy;
}

// --- the printed mat ---------------------------------------------------------

constexpr Tint kLawn{152, 198, 130}, kSheetEdge{240, 240, 234}, kRoad{148, 148, 152};
constexpr Tint kPaint{240, 240, 234}, kPlate{72, 112, 204}, kBarrierRed{232, 92, 78};
constexpr Tint kChequer{124, 124, 128}, kPaper{246, 246, 242};
constexpr double kPlateCell = 3.0;  // font pixel size on the mat

bool inside(const TableBox& box, double x, double y, double margin = 0) {
    return std::fabs(x - box.centre[0]) < box.size[0] / 2 + margin &&
           std::fabs(y - box.centre[1]) < box.size[1] / 2 + margin;
}

bool onRoad(const TrackMat& m, double x, double y) {
    const double ax = std::fabs(x), ay = std::fabs(y);
    const bool inOuter = ax < m.roadOuterHalf[0] && ay < m.roadOuterHalf[1];
    return inOuter && !(ax < m.islandHalf[0] && ay < m.islandHalf[1]);
}

// Dashes down the middle of the straights.
bool onLaneDash(const TrackMat& m, double x, double y) {
    const double midX = (m.islandHalf[0] + m.roadOuterHalf[0]) / 2;
    const double midY = (m.islandHalf[1] + m.roadOuterHalf[1]) / 2;
    const bool alongY = std::fabs(std::fabs(x) - midX) < 1.5 && std::fabs(y) < m.islandHalf[1];
    const bool alongX = std::fabs(std::fabs(y) - midY) < 1.5 && std::fabs(x) < m.islandHalf[0];
    if (alongY) return std::fmod(y + 1300.0, 26.0) < 14.0;
    if (alongX) return std::fmod(x + 1300.0, 26.0) < 14.0;
    return false;
}

bool isStraightGate(const Gate& g) { return std::min(g.zone.size[0], g.zone.size[1]) < 0.5 * std::max(g.zone.size[0], g.zone.size[1]); }

void paintStraightGate(const Gate& g, double x, double y, double rgb[3]) {
    if (g.number == 0) {
        const long cell = static_cast<long>(std::floor(x / 6.0)) + static_cast<long>(std::floor(y / 6.0));
        put((cell & 1) ? kChequer : kPaint, rgb);
        return;
    }
    // A white band edged in blue along its two long sides.
    const bool acrossX = g.zone.size[0] > g.zone.size[1];
    const double depth = acrossX ? g.zone.size[1] : g.zone.size[0];
    const double off = std::fabs(acrossX ? y - g.zone.centre[1] : x - g.zone.centre[0]);
    put(off > depth / 2 - 2.5 ? kPlate : kPaint, rgb);
}

// Dashed white lines around a corner zone (the barriers cover its outer sides).
void paintCornerZone(const Gate& g, double x, double y, double rgb[3]) {
    const double hx = g.zone.size[0] / 2, hy = g.zone.size[1] / 2;
    const double dx = std::fabs(x - g.zone.centre[0]), dy = std::fabs(y - g.zone.centre[1]);
    const bool edgeX = hx - dx < 2.0, edgeY = hy - dy < 2.0;
    const bool dashOnX = edgeX && std::fmod(y + 1300.0, 12.0) < 7.0;
    const bool dashOnY = edgeY && std::fmod(x + 1300.0, 12.0) < 7.0;
    if (dashOnX || dashOnY) put(kPaint, rgb);
}

// A blue plate with the gate's number in white, upright when +y is up.
bool paintNumberPlate(const Gate& g, double x, double y, double rgb[3]) {
    const double px = x - g.zone.centre[0], py = y - g.zone.centre[1];
    if (std::fabs(px) > 40 || std::fabs(py) > 40) return false;
    const std::string text = std::to_string(g.number);
    const double textW = textWidth(text, 1) * kPlateCell, textH = kGlyphHeight * kPlateCell;
    const double halfW = textW / 2 + 4, halfH = textH / 2 + 4;
    if (std::fabs(px) > halfW || std::fabs(py) > halfH) return false;
    const double cx = std::fabs(px) - (halfW - 3), cy = std::fabs(py) - (halfH - 3);
    if (cx > 0 && cy > 0 && cx * cx + cy * cy > 9) return false;  // rounded corners
    static std::array<Canvas, 10> digits;
    Canvas& glyphs = digits[g.number % 10];
    if (glyphs.width == 0) {
        glyphs = makeCanvas(textWidth(text, 1), kGlyphHeight, {0, 0, 0});
        drawText(glyphs, text, 0, 0, 1, {255, 255, 255});
    }
    const int gx = static_cast<int>(std::floor((px + textW / 2) / kPlateCell));
    const int gy = static_cast<int>(std::floor((textH / 2 - py) / kPlateCell));
    put(getPixel(glyphs, gx, gy).r > 0 ? kPaint : kPlate, rgb);
    return true;
}

void paintBarrier(double x, double y, double rgb[3]) {
    put(std::fmod(x + y + 1600.0, 16.0) < 8.0 ? kBarrierRed : kPaint, rgb);
}

// --- the objects -------------------------------------------------------------

constexpr Tint kCardboard{206, 166, 116}, kTape{226, 206, 160}, kLabel{238, 236, 226}, kInk{104, 130, 206};

bool inRect(double u, double v, double u0, double v0, double u1, double v1) {
    return u >= u0 && u <= u1 && v >= v0 && v <= v1;
}

// An arrow pointing up: shaft and triangular head.
bool inUpArrow(double u, double v, double cu) {
    const double du = std::fabs(u - cu);
    if (v >= 0.55 && v <= 0.68) return du < 0.015;
    return v > 0.68 && v < 0.78 && du < 0.045 * (0.78 - v) / 0.10;
}

void cartonColour(const TableBox& box, BoxFace face, double u, double v, double rgb[3]) {
    Tint c = kCardboard;
    const double fibre = valueNoise(u * box.size[0], v * 97.0, 4.0);
    c = blend(c, {186, 146, 100}, 0.35 * fibre);
    if (face == kFaceTop) {
        if (std::fabs(v - 0.5) < 0.09) c = kTape;
    } else if (face == kFacePlusX || face == kFaceMinusX) {
        if (std::fabs(u - 0.5) < 0.09 && v > 0.8) c = kTape;
    } else {
        if (inRect(u, v, 0.16, 0.42, 0.56, 0.74)) c = kLabel;
        for (double bar : {0.50, 0.58, 0.66})
            if (inRect(u, v, 0.21, bar, 0.51, bar + 0.035)) c = kInk;
        if (inUpArrow(u, v, 0.70) || inUpArrow(u, v, 0.82)) c = kInk;
    }
    const double edge = std::min({u, 1 - u, v, 1 - v});
    put(c, rgb);
    if (edge < 0.015) scale(rgb, 0.93);
}

constexpr std::array<Tint, 4> kCovers{{{226, 112, 96}, {104, 152, 212}, {236, 200, 92}, {122, 182, 124}}};
constexpr std::array<double, 4> kBookShare{0.26, 0.22, 0.28, 0.24};

void bookStackColour(BoxFace face, double u, double v, double rgb[3]) {
    if (face == kFaceTop) {
        const Tint cover = kCovers.back();
        const bool title = inRect(u, v, 0.2, 0.55, 0.8, 0.8);
        put(title ? blend(cover, {255, 255, 255}, 0.55) : cover, rgb);
        return;
    }
    int book = 0;
    double start = 0;
    while (book < 3 && v > start + kBookShare[book]) start += kBookShare[book++];
    const double w = (v - start) / kBookShare[book];
    const bool spineSide = (book % 2 == 0) ? face == kFaceMinusX : face == kFacePlusX;
    const Tint cover = kCovers[book];
    if (spineSide) {
        const bool title = inRect(u, w, 0.3, 0.3, 0.7, 0.7);
        put(title ? blend(cover, {255, 255, 255}, 0.5) : cover, rgb);
    } else if (w < 0.1 || w > 0.9) {
        put(cover, rgb);
    } else {
        put({238, 232, 216}, rgb);
        scale(rgb, 0.97 + 0.03 * std::sin(w * 60.0));
    }
    if (w < 0.03) scale(rgb, 0.9);  // the seam to the book below
}

void teaTinColour(BoxFace face, double u, double v, double rgb[3]) {
    const Tint metal{204, 208, 214}, body{118, 182, 160}, label{238, 228, 198}, leaf{132, 188, 118};
    if (face == kFaceTop) {
        const double r = std::hypot(u - 0.5, v - 0.5);
        put(metal, rgb);
        if (std::fabs(r - 0.38) < 0.02) scale(rgb, 0.86);
        return;
    }
    Tint c = body;
    if (v > 0.9 || v < 0.04) c = metal;
    if (v >= 0.3 && v <= 0.72) c = label;
    const double du = (u - 0.5) / 0.16, dv = (v - 0.51) / 0.12;
    if (du * du + dv * dv < 1) c = leaf;
    put(c, rgb);
    if (std::fabs(v - 0.9) < 0.008) scale(rgb, 1.08);
}

}  // namespace

void woodColour(double x, double y, double rgb[3]) {
    const double plankWidth = 60.0;
    const long plank = static_cast<long>(std::floor(y / plankWidth));
    const double across = y - plank * plankWidth;
    const double grain = 0.5 + 0.5 * std::sin(0.09 * y + 2.2 * std::sin(0.011 * x + plank * 1.9) + plank);
    const double tone = 14.0 * hash2(plank, 7) - 7.0;
    rgb[0] = 188 + 30 * grain + tone;
    rgb[1] = 150 + 26 * grain + tone;
    rgb[2] = 108 + 20 * grain + tone;
    if (across < 1.2) scale(rgb, 0.86);
}

bool matColour(const DemoTable& table, double x, double y, double rgb[3]) {
    const TrackMat& m = table.mat;
    if (std::fabs(x) > m.sheetHalf[0] || std::fabs(y) > m.sheetHalf[1]) return false;
    if (m.sheetHalf[0] - std::fabs(x) < 4 || m.sheetHalf[1] - std::fabs(y) < 4) {
        put(kSheetEdge, rgb);
        return true;
    }
    put(blend(kLawn, {138, 186, 118}, valueNoise(x, y, 9.0)), rgb);
    if (onRoad(m, x, y)) {
        put(kRoad, rgb);
        scale(rgb, 0.96 + 0.08 * valueNoise(x, y, 1.7));
        if (onLaneDash(m, x, y)) put(kPaint, rgb);
    }
    for (const Gate& g : table.gates) {
        if (!inside(g.zone, x, y)) continue;
        if (isStraightGate(g)) paintStraightGate(g, x, y, rgb);
        else paintCornerZone(g, x, y, rgb);
    }
    for (const TableBox& wall : table.walls)
        if (inside(wall, x, y)) paintBarrier(x, y, rgb);
    for (const TableMarker& marker : table.markers) {
        const double half = marker.width / 2 + m.paperMargin;
        if (std::fabs(x - marker.centre[0]) < half && std::fabs(y - marker.centre[1]) < half) put(kPaper, rgb);
    }
    for (const Gate& g : table.gates) paintNumberPlate(g, x, y, rgb);
    return true;
}

bool markerColour(const DemoTable& table, const std::vector<SynthPicture>& pictures, double x, double y,
                  double rgb[3]) {
    for (size_t i = 0; i < table.markers.size() && i < pictures.size(); ++i) {
        const TableMarker& marker = table.markers[i];
        const double w = marker.width, h = w / 2, u = x - marker.centre[0], v = y - marker.centre[1];
        if (u < -h || u >= h || v <= -h || v > h) continue;
        const int n = pictures[i].size;
        const int col = std::min(n - 1, static_cast<int>((u + h) / w * n));
        const int row = std::min(n - 1, static_cast<int>((h - v) / w * n));
        const uint8_t* p = &pictures[i].rgb[(static_cast<size_t>(row) * n + col) * 3];
        for (int k = 0; k < 3; ++k) rgb[k] = p[k];
        return true;
    }
    return false;
}

void objectColour(const TableObject& object, BoxFace face, double u, double v, double rgb[3]) {
    switch (object.look) {
        case ObjectLook::Carton: cartonColour(object.box, face, u, v, rgb); return;
        case ObjectLook::BookStack: bookStackColour(face, u, v, rgb); return;
        case ObjectLook::TeaTin: teaTinColour(face, u, v, rgb); return;
    }
}
