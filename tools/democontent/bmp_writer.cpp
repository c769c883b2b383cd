#include "bmp_writer.h"

#include "platform/file_replace.h"

#include <cstdio>
#include <vector>

namespace {

void put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}

void put32(std::vector<uint8_t>& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

std::vector<uint8_t> headers(const Canvas& c, uint32_t imageBytes, uint32_t pixelsPerMetre) {
  std::vector<uint8_t> b{'B', 'M'};
  put32(b, 54 + imageBytes);
  put32(b, 0);
  put32(b, 54);
  put32(b, 40);
  put32(b, c.width);
  put32(b, c.height);
  put16(b, 1);
  put16(b, 24);
  for (uint32_t v : {0u, imageBytes, pixelsPerMetre, pixelsPerMetre, 0u, 0u}) put32(b, v);
  return b;
}

}  // namespace

bool writeBmp24(const std::string& path, const Canvas& c, int pixelsPerMetre, std::string* why) {
  uint32_t stride = (c.width * 3 + 3) & ~3u;
  std::vector<uint8_t> file = headers(c, stride * c.height, static_cast<uint32_t>(pixelsPerMetre));
  for (int y = c.height - 1; y >= 0; --y) {
    size_t rowStart = file.size();
    for (int x = 0; x < c.width; ++x) {
      Color p = getPixel(c, x, y);
      file.insert(file.end(), {p.b, p.g, p.r});
    }
    file.resize(rowStart + stride, 0);
  }
  return replaceFile(path.c_str(), file.data(), file.size(), why);
}
