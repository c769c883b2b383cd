#include "platform/file_path.h"

#include <algorithm>
#include <filesystem>


std::string portablePath(const char* path) {
  std::string result = path ? path : "";
  std::replace(result.begin(), result.end(), '\\', '/');
  return result;
}

std::FILE* openFile(const char* path, const char* mode) {
  if (!path) return nullptr;
  return std::fopen(portablePath(path).c_str(), mode);
}

static void appendUtf8(std::string& out, unsigned long code) {
  if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = '?';
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string wideToUtf8(const wchar_t* text) {
  std::string out;
  if (!text) return out;
  for (; *text; ++text) appendUtf8(out, static_cast<unsigned long>(*text));
  return out;
}

// Directories open for reading too, and report absurd sizes; only regular
// files of a sensible size are read.
bool readWholeFile(const char* path, std::vector<unsigned char>& out) {
  out.clear();
  std::error_code error;
  if (!path || !std::filesystem::is_regular_file(portablePath(path), error)) return false;
  std::FILE* file = openFile(path, "rb");
  if (!file) return false;
  bool ok = std::fseek(file, 0, SEEK_END) == 0;
  long size = ok ? std::ftell(file) : -1;
  ok = ok && size >= 0 && size <= kMaxWholeFileSize && std::fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    out.resize(static_cast<size_t>(size));
    ok = out.empty() || std::fread(out.data(), 1, out.size(), file) == out.size();
  }
  std::fclose(file);
  if (!ok) out.clear();
  return ok;
}

