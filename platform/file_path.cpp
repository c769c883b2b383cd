#include "platform/file_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>


std::string portablePath(const char* path) {
  std::string result = path ? path : "";
  std::replace(result.begin(), result.end(), '\\', '/');
  return result;
}

namespace {

std::string kindProblem(mode_t mode) {
  const char* kind = "a special file";
  if (S_ISDIR(mode)) kind = "a directory";
  if (S_ISFIFO(mode)) kind = "a named pipe";
  if (S_ISCHR(mode)) kind = "a character device";
  if (S_ISBLK(mode)) kind = "a block device";
  if (S_ISSOCK(mode)) kind = "a socket";
  return std::string(kind) + ", not a regular file";
}

void setReason(std::string* why, const std::string& reason) {
  if (why) *why = reason;
}

bool isReadMode(const char* mode) { return mode && mode[0] == 'r'; }

// The descriptor is opened without blocking, so that a pipe swapped in after
// the check cannot hang the open either, and is checked again once open.
std::FILE* openRegularForReading(const std::string& name, const char* mode, std::string* why) {
  const std::string problem = regularFileProblem(name.c_str());
  if (!problem.empty()) {
    setReason(why, problem);
    return nullptr;
  }
  const int access = std::strchr(mode, '+') ? O_RDWR : O_RDONLY;
  const int fd = ::open(name.c_str(), access | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    setReason(why, std::strerror(errno));
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    setReason(why, kindProblem(st.st_mode));
    ::close(fd);
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* file = ::fdopen(fd, mode);
  if (!file) {
    setReason(why, std::strerror(errno));
    ::close(fd);
  }
  return file;
}

}  // namespace

std::string regularFileProblem(const char* path) {
  if (!path) return "no file name";
  struct stat st {};
  const std::string name = portablePath(path);
  if (::stat(name.c_str(), &st) != 0) return std::strerror(errno);
  if (!S_ISREG(st.st_mode)) return kindProblem(st.st_mode);
  return ::access(name.c_str(), R_OK) == 0 ? std::string() : std::strerror(errno);
}

std::FILE* openFile(const char* path, const char* mode, std::string* why) {
  if (!path || !mode) {
    setReason(why, "no file name");
    return nullptr;
  }
  const std::string name = portablePath(path);
  if (isReadMode(mode)) return openRegularForReading(name, mode, why);
  std::FILE* file = std::fopen(name.c_str(), mode);
  if (!file) setReason(why, std::strerror(errno));
  return file;
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

std::string describeSizeLimit(long bytes) {
  if (bytes >= (1L << 20) && bytes % (1L << 20) == 0) return std::to_string(bytes >> 20) + " MB";
  return std::to_string(bytes) + " bytes";
}

// The size is taken from the open file, so nothing larger than the limit is
// ever allocated, and a file that shrinks while it is read is a failure.
bool readWholeFile(const char* path, std::vector<unsigned char>& out, std::string* why, long maxSize) {
  out.clear();
  std::FILE* file = openFile(path, "rb", why);
  if (!file) return false;
  struct stat st {};
  bool ok = ::fstat(::fileno(file), &st) == 0;
  if (!ok) setReason(why, std::strerror(errno));
  if (ok && st.st_size > maxSize) {
    setReason(why, "larger than " + describeSizeLimit(maxSize));
    ok = false;
  }
  if (ok) {
    out.resize(static_cast<size_t>(st.st_size));
    ok = out.empty() || std::fread(out.data(), 1, out.size(), file) == out.size();
    if (!ok) setReason(why, "cannot read all of it");
  }
  std::fclose(file);
  if (!ok) out.clear();
  return ok;
}

bool skipByteOrderMark(std::FILE* file) {
  unsigned char head[3] = {0, 0, 0};
  const size_t got = std::fread(head, 1, 3, file);
  if (got == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) return true;
  std::rewind(file);
  return false;
}
