#pragma once
#include <cstdint>

// 24-bit picture: pixel (x, y) at byte 3 * (y * width + x) holds R, G, B;
// row 0 is the bottom row; rows are not padded. The record and the pixel
// block are separate heap blocks; freeRgbImage releases both.
struct RgbImage {
  int32_t width = 0;
  int32_t height = 0;
  unsigned char* pixels = nullptr;
};

// A zero-filled image, or nullptr when memory cannot be had or a side is not positive.
RgbImage* createRgbImage(int32_t width, int32_t height);
void freeRgbImage(RgbImage* image);
