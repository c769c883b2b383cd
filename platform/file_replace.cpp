#include "platform/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/file_path.h"

namespace {

bool fail(std::string* why, const std::string& reason) {
    if (why) *why = reason;
    return false;
}

// The file a name leads to: a link is followed, so that the file it points
// to is replaced rather than the link. False with the reason when the name
// cannot be written to.
bool findTarget(const char* path, std::string* target, mode_t* mode, std::string* why) {
    const std::string name = portablePath(path);
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) {
        if (errno != ENOENT) return fail(why, std::strerror(errno));
        const mode_t mask = ::umask(0);
        ::umask(mask);
        *mode = 0666 & ~mask;
        *target = name;
        return true;
    }
    if (!S_ISREG(st.st_mode)) return fail(why, regularFileProblem(name.c_str()));
    *mode = st.st_mode & 07777;
    char* resolved = ::realpath(name.c_str(), nullptr);
    if (!resolved) return fail(why, std::strerror(errno));
    *target = resolved;
    std::free(resolved);
    return true;
}

// A size limit ends a process that writes past it unless the signal is
// ignored; ignored, the write fails with "File too large" and is cleaned up.
class FileSizeSignalIgnored {
  public:
    FileSizeSignalIgnored() { previous_ = std::signal(SIGXFSZ, SIG_IGN); }
    ~FileSizeSignalIgnored() { std::signal(SIGXFSZ, previous_); }

  private:
    void (*previous_)(int);
};

bool writeAndSync(std::FILE* file, const std::function<bool(std::FILE*)>& write, std::string* why) {
    errno = 0;
    const bool written = write(file) && std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written) return fail(why, writeError != 0 ? std::strerror(writeError) : "the content could not be written");
    return closed || fail(why, std::strerror(errno));
}

}  // namespace

bool replaceFile(const char* path, const std::function<bool(std::FILE*)>& write, std::string* why) {
    if (!path || !*path) return fail(why, "no file name");
    std::string target;
    mode_t mode = 0;
    if (!findTarget(path, &target, &mode, why)) return false;
    std::string temporary = target + ".part-XXXXXX";
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return fail(why, std::strerror(errno));
    temporary = name.data();
    ::fchmod(fd, mode);
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        const int error = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        return fail(why, std::strerror(error));
    }
    FileSizeSignalIgnored sizeLimitReported;
    bool ok = writeAndSync(file, write, why);
    if (ok && std::rename(temporary.c_str(), target.c_str()) != 0) ok = fail(why, std::strerror(errno));
    if (!ok) ::unlink(temporary.c_str());
    return ok;
}

bool replaceFile(const char* path, const void* bytes, std::size_t size, std::string* why) {
    return replaceFile(
        path, [bytes, size](std::FILE* file) { return size == 0 || std::fwrite(bytes, 1, size, file) == size; }, why);
}
