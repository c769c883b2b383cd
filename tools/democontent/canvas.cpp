#include "canvas.h"

#include <algorithm>
#include <cmath>

Canvas makeCanvas(int width, int height, Color fill) {
  Canvas c;
  c.width = width;
  c.height = height;
  c.rgb.resize(static_cast<size_t>(width) * height * 3);
  fillRect(c, 0, 0, width, height, fill);
  return c;
}

Color mix(Color a, Color b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  auto channel = [t](uint8_t p, uint8_t q) {
    return static_cast<uint8_t>(std::lround(p + (q - p) * t));
  };
  return {channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

void setPixel(Canvas& c, int x, int y, Color color) {
  if (x < 0 || y < 0 || x >= c.width || y >= c.height) return;
  uint8_t* p = &c.rgb[(static_cast<size_t>(y) * c.width + x) * 3];
  p[0] = color.r;
  p[1] = color.g;
  p[2] = color.b;
}

Color getPixel(const Canvas& c, int x, int y) {
  if (x < 0 || y < 0 || x >= c.width || y >= c.height) return {};
  const uint8_t* p = &c.rgb[(static_cast<size_t>(y) * c.width + x) * 3];
  return {p[0], p[1], p[2]};
}

void blendPixel(Canvas& c, int x, int y, Color color, double alpha) {
  setPixel(c, x, y, mix(getPixel(c, x, y), color, alpha));
}

void fillRect(Canvas& c, int x, int y, int w, int h, Color color) {
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) setPixel(c, i, j, color);
}

void verticalGradient(Canvas& c, Color top, Color bottom) {
  for (int y = 0; y < c.height; ++y) {
    Color row = mix(top, bottom, c.height > 1 ? double(y) / (c.height - 1) : 0);
    fillRect(c, 0, y, c.width, 1, row);
  }
}
