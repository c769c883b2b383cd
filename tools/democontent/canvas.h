#pragma once
// A plain RGB drawing surface for the generated demo pictures. Row 0 is the
// top row here; the bitmap writer turns it into bottom-up rows.

#include <cstdint>
#include <vector>

struct Color {
  uint8_t r = 0, g = 0, b = 0;
};

struct Canvas {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // width * height * 3, top row first
};

Canvas makeCanvas(int width, int height, Color fill);
Color mix(Color a, Color b, double t);
void setPixel(Canvas& c, int x, int y, Color color);
Color getPixel(const Canvas& c, int x, int y);
// Mixes color into the pixel by alpha (0 keeps the pixel, 1 replaces it).
void blendPixel(Canvas& c, int x, int y, Color color, double alpha);
void fillRect(Canvas& c, int x, int y, int w, int h, Color color);
void verticalGradient(Canvas& c, Color top, Color bottom);
