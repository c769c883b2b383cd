#include <cstdio>
#include <cstdlib>
#include <string>

#include "render/bmp.h"
#include "render/dib_format.h"
#include "platform/file_path.h"

int32_t screenImageWidth = 0;
int32_t screenImageHeight = 0;

namespace {

constexpr long kPixelsAt = 54;

struct ScreenHeader {
  uint32_t pixelsAt;
  int32_t width;
  int32_t height;
  uint16_t bitCount;
  uint32_t compression;
};

void reportScreenError(const char* name, const std::string& reason) {
  std::fprintf(stderr, "Screen image %s: %s\n", name, reason.c_str());
}

// The reason the header cannot be drawn as a raw block, or "". The pixels are
// read from byte 54, so a file whose larger header puts them elsewhere would
// be drawn out of step.
std::string refusalReason(const ScreenHeader& h, long fileSize) {
  if (h.bitCount != 24 || h.compression != 0) return "not an uncompressed 24-bit bitmap";
  if (h.pixelsAt != kPixelsAt)
    return "pixels must start at byte 54, not " + std::to_string(h.pixelsAt) +
           " (save it with a 40-byte header)";
  if (h.width <= 0 || h.height <= 0) return "width and height must be positive and bottom-up";
  if (h.width > kMaxDibSide || h.height > kMaxDibSide)
    return "the picture is too large (at most 16384 pixels a side)";
  if (h.width % 4 != 0) return "width must be a multiple of 4";
  int64_t need = kPixelsAt + int64_t{h.width} * h.height * 3;
  if (fileSize < need) return "file is shorter than its pixel rows";
  return "";
}

long fileSizeOf(std::FILE* file) {
  long here = std::ftell(file);
  if (std::fseek(file, 0, SEEK_END) != 0) return -1;
  long size = std::ftell(file);
  std::fseek(file, here, SEEK_SET);
  return size;
}

unsigned char* readPixels(std::FILE* file, const ScreenHeader& h) {
  size_t bytes = static_cast<size_t>(h.width) * static_cast<size_t>(h.height) * 3;
  auto* block = static_cast<unsigned char*>(std::malloc(bytes));
  if (block && std::fread(block, 1, bytes, file) != bytes) {
    std::free(block);
    block = nullptr;
  }
  return block;
}

unsigned char* readScreenFile(std::FILE* file, const char* name) {
  unsigned char headers[54];
  if (std::fread(headers, 1, 2, file) != 2 || headers[0] != 'B' || headers[1] != 'M')
    return nullptr;
  if (std::fread(headers + 2, 1, 52, file) != 52) {
    reportScreenError(name, "file is shorter than its headers");
    return nullptr;
  }
  ScreenHeader h{readLe32(headers + 10), static_cast<int32_t>(readLe32(headers + 18)),
                 static_cast<int32_t>(readLe32(headers + 22)), readLe16(headers + 28),
                 readLe32(headers + 30)};
  const std::string reason = refusalReason(h, fileSizeOf(file));
  if (!reason.empty()) {
    reportScreenError(name, reason);
    return nullptr;
  }
  unsigned char* block = readPixels(file, h);
  if (!block) {
    reportScreenError(name, "pixel rows could not be read");
    return nullptr;
  }
  screenImageWidth = h.width;
  screenImageHeight = h.height;
  return block;
}

}  // namespace

unsigned char* loadScreenImage(const char* name) {
  std::FILE* file = openFile(name, "rb");
  if (!file) return nullptr;
  unsigned char* block = readScreenFile(file, name);
  std::fclose(file);
  return block;
}

void freeScreenImage(unsigned char* pixels) { std::free(pixels); }

namespace {

std::string sizeText(int32_t width, int32_t height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

std::string unreadableReason(const char* name) {
  std::string reason = std::string("cannot read the screen image ") + name;
  const std::string problem = regularFileProblem(name);
  return problem.empty() ? reason : reason + ": " + problem;
}

}  // namespace

bool loadScreenImages(const char* const names[], int count, unsigned char* blocks[], std::string& why) {
  why.clear();
  int32_t width = 0, height = 0;
  for (int i = 0; i < count; ++i) blocks[i] = nullptr;
  for (int i = 0; i < count && why.empty(); ++i) {
    blocks[i] = loadScreenImage(names[i]);
    if (!blocks[i]) {
      why = unreadableReason(names[i]);
    } else if (i == 0) {
      width = screenImageWidth;
      height = screenImageHeight;
    } else if (screenImageWidth != width || screenImageHeight != height) {
      why = std::string("screen image ") + names[i] + " is " + sizeText(screenImageWidth, screenImageHeight) +
            " but " + names[0] + " is " + sizeText(width, height) + "; the screen images must have one size";
    }
  }
  if (why.empty()) return true;
  for (int i = 0; i < count; ++i) {
    freeScreenImage(blocks[i]);
    blocks[i] = nullptr;
  }
  return false;
}
