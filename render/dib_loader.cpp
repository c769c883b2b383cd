#include <cstdio>
#include <string>
#include <vector>

#include "render/bmp.h"
#include "render/dib_format.h"
#include "platform/file_path.h"

namespace {

// Stand-in for the message box: the same texts, one per line.
void reportDibError(const std::string& text) {
  std::fputs(text.c_str(), stderr);
  if (text.empty() || text.back() != '\n') std::fputc('\n', stderr);
}

std::string statusText(DibStatus status) {
  switch (status) {
    case DibStatus::unknownFormat: return "Unknown DIB file format.";
    case DibStatus::outOfMemory: return "Out of memory.";
    case DibStatus::tooLarge:
      return "The picture is too large (at most " + std::to_string(kMaxDibSide) + " pixels a side and " +
             std::to_string(kMaxDibPixels) + " pixels in all).";
    default: return "Image file conversion error.";
  }
}

RgbImage* decodeDib(const std::vector<unsigned char>& data) {
  DibSource source;
  RgbImage* image = nullptr;
  DibStatus status = parseDib(data.data(), data.size(), source);
  if (status == DibStatus::ok) status = convertDib(source, image);
  if (status != DibStatus::ok) reportDibError(statusText(status));
  return image;
}

// An empty file cannot be mapped, so it fails like one that cannot be opened.
RgbImage* loadFromPath(const char* path, const std::string& shownName) {
  std::vector<unsigned char> data;
  if (!readWholeFile(path, data) || data.empty()) {
    reportDibError("Failed to open DIB file " + shownName + ".\n");
    return nullptr;
  }
  return decodeDib(data);
}

}  // namespace

RgbImage* loadDibImage(const char* name) {
  return loadFromPath(name, name ? name : "(null)");
}

RgbImage* loadDibImageWide(const wchar_t* name) {
  std::string utf8 = wideToUtf8(name);
  return loadFromPath(name ? utf8.c_str() : nullptr, name ? utf8 : "(null)");
}
