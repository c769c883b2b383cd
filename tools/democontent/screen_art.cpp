#include "screen_art.h"

#include <cmath>

#include "bitmap_font.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
const Color kWhite{255, 255, 255};
const Color kBlack{0, 0, 0};

struct Oval {
  double cx, cy, a, b;
};

// What lies at one point of the oval track, or nothing (alpha 0).
bool trackColorAt(const Oval& o, double x, double y, Color& out) {
  double dx = (x - o.cx) / o.a, dy = (y - o.cy) / o.b;
  double r = std::sqrt(dx * dx + dy * dy);
  double angle = std::atan2(dy, dx) + kPi;
  bool kerbLight = static_cast<int>(angle * 24 / kPi) % 2 == 0;
  if (r > 1.03 || r < 0.56) return false;
  if (r > 0.97 || r < 0.62) {
    out = kerbLight ? Color{235, 235, 235} : Color{200, 30, 40};
  } else if (std::fabs(r - 0.795) < 0.012 && static_cast<int>(angle * 12 / kPi) % 2 == 0) {
    out = {240, 220, 90};
  } else {
    out = mix({70, 72, 80}, {45, 47, 55}, (y - (o.cy - o.b)) / (2 * o.b));
  }
  return true;
}

// Supersampled 3 x 3 so that the oval's edges are smooth.
void paintTrack(Canvas& c, const Oval& o) {
  for (int y = static_cast<int>(o.cy - o.b * 1.05); y <= o.cy + o.b * 1.05; ++y) {
    for (int x = static_cast<int>(o.cx - o.a * 1.05); x <= o.cx + o.a * 1.05; ++x) {
      int r = 0, g = 0, b = 0, hits = 0;
      for (int s = 0; s < 9; ++s) {
        Color sample;
        if (!trackColorAt(o, x + (s % 3 + 0.5) / 3, y + (s / 3 + 0.5) / 3, sample)) continue;
        r += sample.r;
        g += sample.g;
        b += sample.b;
        ++hits;
      }
      if (hits == 0) continue;
      Color avg{uint8_t(r / hits), uint8_t(g / hits), uint8_t(b / hits)};
      blendPixel(c, x, y, avg, hits / 9.0);
    }
  }
}

// The printed marker seen at an angle: black border, white field, a letter.
void paintMarker(Canvas& c, int cx, int cy) {
  const int w = 84, h = 60;
  fillRect(c, cx - w / 2 + 4, cy - h / 2 + 4, w, h, {20, 20, 30});
  fillRect(c, cx - w / 2, cy - h / 2, w, h, kBlack);
  fillRect(c, cx - w / 4, cy - h / 4, w / 2, h / 2, kWhite);
  drawText(c, "R", cx - 7, cy - 10, 3, kBlack);
}

void paintCarSilhouette(Canvas& c, int x, int y, Color body) {
  fillRect(c, x + 2, y + 3, 40, 18, {25, 25, 30});
  fillRect(c, x, y, 40, 16, body);
  fillRect(c, x + 12, y + 3, 14, 10, mix(body, kBlack, 0.55));
  fillRect(c, x + 30, y + 2, 6, 12, mix(body, kWhite, 0.35));
}

void paintCheckeredBand(Canvas& c, int y, int height, Color light, Color dark) {
  const int square = height / 2;
  for (int row = 0; row < 2; ++row)
    for (int col = 0; col * square < c.width; ++col)
      fillRect(c, col * square, y + row * square, square, square,
               (row + col) % 2 ? dark : light);
}

Canvas sceneWithTrack(Color top, Color bottom) {
  Canvas c = makeCanvas(kScreenWidth, kScreenHeight, kBlack);
  verticalGradient(c, top, bottom);
  paintTrack(c, {320, 292, 255, 108});
  paintMarker(c, 320, 292);
  paintCarSilhouette(c, 200, 375, {210, 35, 35});
  paintCarSilhouette(c, 262, 367, {40, 90, 220});
  return c;
}

}  // namespace

Canvas paintTitleScreen() {
  Canvas c = sceneWithTrack({12, 18, 60}, {90, 40, 120});
  drawTitleText(c, "ROVANTA", 40, 12, {255, 210, 60}, {20, 10, 40});
  drawTitleText(c, "AUGMENTED TABLE-TOP RACING", 140, 2, {200, 210, 255}, {20, 10, 40});
  drawTitleText(c, "PRESS R TO START", 428, 4, kWhite, {20, 10, 40});
  return c;
}

Canvas paintWonScreen() {
  Canvas c = sceneWithTrack({10, 60, 40}, {40, 140, 90});
  paintCheckeredBand(c, 0, 24, kWhite, kBlack);
  drawTitleText(c, "YOU WON", 56, 12, {255, 230, 90}, {10, 40, 20});
  drawTitleText(c, "FIRST TO THE TENTH LAP!", 436, 3, kWhite, {10, 40, 20});
  return c;
}

Canvas paintLostScreen() {
  Canvas c = sceneWithTrack({50, 8, 12}, {130, 30, 40});
  paintCheckeredBand(c, 0, 24, {120, 120, 120}, {40, 40, 40});
  drawTitleText(c, "YOU LOST", 56, 12, {255, 255, 255}, {40, 5, 10});
  drawTitleText(c, "THE OPPONENT WAS FASTER", 436, 3, {255, 200, 200}, {40, 5, 10});
  return c;
}
