#include <cmath>

#include "bitmap_font.h"
#include "car_design.h"

namespace {

const Color kWhite{255, 255, 255};
const Color kBlack{0, 0, 0};

struct PixelRect {
  int x, y, w, h;
};

// The canvas pixels of a texture area (canvas rows run top to bottom).
PixelRect pixelsOf(const UvRect& r) {
  int x0 = static_cast<int>(r.u0 * kTextureSize), x1 = static_cast<int>(r.u1 * kTextureSize);
  int y0 = static_cast<int>((1 - r.v1) * kTextureSize);
  int y1 = static_cast<int>((1 - r.v0) * kTextureSize);
  return {x0, y0, x1 - x0, y1 - y0};
}

void shadeArea(Canvas& c, const PixelRect& p, Color top, Color bottom) {
  for (int y = 0; y < p.h; ++y) fillRect(c, p.x, p.y + y, p.w, 1, mix(top, bottom, double(y) / p.h));
}

void outline(Canvas& c, const PixelRect& p, Color color) {
  fillRect(c, p.x, p.y, p.w, 1, color);
  fillRect(c, p.x, p.y + p.h - 1, p.w, 1, color);
  fillRect(c, p.x, p.y, 1, p.h, color);
  fillRect(c, p.x + p.w - 1, p.y, 1, p.h, color);
}

void fillDisc(Canvas& c, int cx, int cy, double radius, Color color) {
  for (int y = cy - int(radius) - 1; y <= cy + radius + 1; ++y)
    for (int x = cx - int(radius) - 1; x <= cx + radius + 1; ++x) {
      double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
      if (d < radius + 0.5) blendPixel(c, x, y, color, std::min(1.0, radius + 0.5 - d));
    }
}

void paintSide(Canvas& c, const CarStyle& s) {
  PixelRect p = pixelsOf(kSideArea);
  shadeArea(c, p, mix(s.body, kWhite, 0.25), mix(s.body, kBlack, 0.45));
  fillRect(c, p.x, p.y + p.h / 2 - 3, p.w, 6, s.stripe);
  fillRect(c, p.x, p.y + p.h - 10, p.w, 10, mix(s.body, kBlack, 0.7));  // sill
  outline(c, {p.x + 18, p.y + 6, 28, p.h - 18}, mix(s.body, kBlack, 0.6));  // door
  fillDisc(c, p.x + p.w / 2, p.y + p.h / 2, 9, kWhite);
  drawText(c, std::string(1, s.number), p.x + p.w / 2 - 4, p.y + p.h / 2 - 6, 2, kBlack);
}

void paintHood(Canvas& c, const CarStyle& s) {
  PixelRect p = pixelsOf(kHoodArea);
  shadeArea(c, p, s.body, mix(s.body, kBlack, 0.2));
  fillRect(c, p.x, p.y + p.h / 2 - 9, p.w, 6, s.stripe);
  fillRect(c, p.x, p.y + p.h / 2 + 3, p.w, 6, s.stripe);
  outline(c, p, mix(s.body, kBlack, 0.5));
}

void paintGlass(Canvas& c, const CarStyle& s) {
  PixelRect p = pixelsOf(kGlassArea);
  fillRect(c, p.x, p.y, p.w, p.h, s.body);
  PixelRect pane{p.x + 6, p.y + 6, p.w - 12, p.h - 16};
  shadeArea(c, pane, {90, 130, 170}, {20, 30, 50});
  for (int k = 0; k < 10; ++k)  // a diagonal reflection
    fillRect(c, pane.x + 8 + k, pane.y + pane.h - 8 - 2 * k, 6, 2, {170, 200, 230});
  fillRect(c, p.x + p.w / 2 - 1, pane.y, 3, pane.h, s.body);  // pillar
}

void paintTyre(Canvas& c) {
  PixelRect p = pixelsOf(kTyreArea);
  fillRect(c, p.x, p.y, p.w, p.h, {30, 30, 32});
  for (int y = p.y + 2; y < p.y + p.h; y += 6) fillRect(c, p.x, y, p.w, 2, {55, 55, 60});
}

void paintHub(Canvas& c) {
  PixelRect p = pixelsOf(kHubArea);
  fillRect(c, p.x, p.y, p.w, p.h, {30, 30, 32});
  int cx = p.x + p.w / 2, cy = p.y + p.h / 2;
  fillDisc(c, cx, cy, 10, {190, 190, 200});
  for (int k = 0; k < 5; ++k) {
    double a = 2 * 3.14159265358979 * k / 5;
    fillDisc(c, cx + int(std::lround(6 * std::cos(a))), cy + int(std::lround(6 * std::sin(a))), 2,
             {90, 90, 100});
  }
  fillDisc(c, cx, cy, 3, {120, 120, 130});
}

void paintNose(Canvas& c, const CarStyle& s) {
  PixelRect p = pixelsOf(kNoseArea);
  fillRect(c, p.x, p.y, p.w, p.h, s.body);
  fillRect(c, p.x + 2, p.y + 6, 8, 8, {255, 245, 200});  // lamps
  fillRect(c, p.x + p.w - 10, p.y + 6, 8, 8, {255, 245, 200});
  fillRect(c, p.x + 12, p.y + 8, p.w - 24, 12, {25, 25, 25});  // grille
  for (int x = p.x + 14; x < p.x + p.w - 12; x += 3) fillRect(c, x, p.y + 8, 1, 12, {80, 80, 80});
}

}  // namespace

CarStyle playerStyle() { return {"player", {205, 30, 35}, {250, 250, 250}, '1', false}; }
CarStyle opponentStyle() { return {"opponent", {35, 85, 205}, {255, 210, 40}, '2', true}; }

Canvas paintCarTexture(const CarStyle& style) {
  Canvas c = makeCanvas(kTextureSize, kTextureSize, kBlack);
  paintSide(c, style);
  paintHood(c, style);
  paintGlass(c, style);
  paintTyre(c);
  paintHub(c);
  paintNose(c, style);
  return c;
}
