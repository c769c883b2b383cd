#pragma once
// Builds small bitmap files byte by byte so that tests control every field.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/scratch_dir.h"

using Bytes = std::vector<unsigned char>;

inline void putLe16(Bytes& b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
inline void putLe32(Bytes& b, uint32_t v) {
  putLe16(b, v & 0xFFFF);
  putLe16(b, v >> 16);
}

struct BmpLayout {
  int32_t width = 1;
  int32_t height = 1;
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  uint32_t sizeImage = 0;
  bool coreHeader = false;
  uint32_t headerSize = 0;        // overrides 12/40 when non-zero
  std::vector<uint32_t> palette;  // 0x00RRGGBB, written as the table
  std::vector<uint32_t> masks;    // written after the header when present
  Bytes bits;                     // pixel bits exactly as stored
};

inline Bytes packedDib(const BmpLayout& s) {
  Bytes b;
  uint32_t size = s.headerSize ? s.headerSize : (s.coreHeader ? 12 : 40);
  putLe32(b, size);
  if (s.coreHeader) {
    putLe16(b, s.width);
    putLe16(b, s.height);
    putLe16(b, 1);
    putLe16(b, s.bitCount);
  } else {
    putLe32(b, s.width);
    putLe32(b, s.height);
    putLe16(b, 1);
    putLe16(b, s.bitCount);
    for (uint32_t v : {s.compression, s.sizeImage, 2835u, 2835u, s.colorsUsed, 0u})
      putLe32(b, v);
  }
  b.resize(size, 0);
  for (uint32_t m : s.masks) putLe32(b, m);
  for (uint32_t c : s.palette) {
    b.push_back(c & 0xFF);
    b.push_back((c >> 8) & 0xFF);
    b.push_back((c >> 16) & 0xFF);
    if (!s.coreHeader) b.push_back(0);
  }
  b.insert(b.end(), s.bits.begin(), s.bits.end());
  return b;
}

// The same bitmap with a 14-byte file header; gap bytes go between the
// colour table and the pixel bits, and the offset field points past them.
inline Bytes bmpFile(const BmpLayout& s, size_t gap = 0) {
  Bytes packed = packedDib(s);
  size_t headerAndTable = packed.size() - s.bits.size();
  Bytes b{'B', 'M'};
  putLe32(b, static_cast<uint32_t>(14 + packed.size() + gap));
  putLe32(b, 0);
  putLe32(b, static_cast<uint32_t>(14 + headerAndTable + gap));
  b.insert(b.end(), packed.begin(), packed.begin() + headerAndTable);
  b.insert(b.end(), gap, 0xEE);
  b.insert(b.end(), s.bits.begin(), s.bits.end());
  return b;
}

inline std::string writeTempFile(const std::string& name, const Bytes& data) {
  std::string path = scratchPath(name);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f) {
    if (!data.empty()) std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
  }
  return path;
}
