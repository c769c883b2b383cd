#pragma once
// Reading the headers of a device-independent bitmap held in memory and
// converting its pixels into an RgbImage.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/rgb_image.h"

// Larger pictures are refused rather than allocated: no texture or screen is
// anywhere near this size, and a damaged header must not claim gigabytes.
constexpr int64_t kMaxDibSide = 16384;
constexpr int64_t kMaxDibPixels = int64_t{1} << 25;

enum class DibStatus { ok, unknownFormat, outOfMemory, conversionError, tooLarge };

// The working information header with everything the conversion needs.
struct DibSource {
  int32_t width = 0;
  int32_t height = 0;
  uint16_t planes = 0;
  uint16_t bitCount = 0;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  int32_t xPixelsPerMeter = 0;
  int32_t yPixelsPerMeter = 0;
  uint32_t colorsUsed = 0;
  uint32_t colorsImportant = 0;
  std::vector<std::array<unsigned char, 4>> colorTable;  // B, G, R, 0
  std::array<uint32_t, 3> masks{};                       // R, G, B
  bool hasMasks = false;
  const unsigned char* bits = nullptr;
  size_t bitsSize = 0;  // bytes from bits to the end of the data
};

constexpr uint32_t kDibRgb = 0;
constexpr uint32_t kDibRle8 = 1;
constexpr uint32_t kDibRle4 = 2;
constexpr uint32_t kDibBitFields = 3;

// Finds the header, colour table, masks and pixel bits of a bitmap file or a
// packed bitmap. Every offset is checked against size.
DibStatus parseDib(const unsigned char* data, size_t size, DibSource& out);

// Converts the pixels into a new bottom-up RgbImage (top-down bitmaps are
// flipped, so the image height is always positive).
DibStatus convertDib(const DibSource& source, RgbImage*& out);

// Shared little-endian field readers; the caller has checked the bounds.
inline uint16_t readLe16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t readLe32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
