#pragma once
// Readers that take a path get the fuzz input through a memory file: no disk
// writes, and a name private to the process so parallel runs cannot clash.

#include "fuzz_check.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

struct FuzzMemoryFile {
    int fd = -1;
    std::string path;
};

// One file per call site name; created on first use and kept for the run.
inline FuzzMemoryFile createFuzzMemoryFile(const char* name)
{
    FuzzMemoryFile made;
    made.fd = memfd_create(name, 0);
    fuzzCheck(made.fd >= 0, "cannot create the memory file");
    made.path = "/proc/self/fd/" + std::to_string(made.fd);
    return made;
}

inline void writeFuzzMemoryFile(const FuzzMemoryFile& file, const uint8_t* data, size_t size)
{
    fuzzCheck(ftruncate(file.fd, 0) == 0, "cannot empty the memory file");
    size_t written = 0;
    while (written < size) {
        const ssize_t n = pwrite(file.fd, data + written, size - written, static_cast<off_t>(written));
        fuzzCheck(n > 0, "cannot write the memory file");
        written += static_cast<size_t>(n);
    }
}

// A named pipe that nobody writes to, in a folder of its own that is removed
// at exit. A reader that opened it for reading would block, and the run would
// stop on its time limit; the readers must refuse it unopened.
inline const std::string& fuzzPipePath()
{
    static const std::string path = [] {
        const char* base = std::getenv("TMPDIR");
        std::string folder = std::string(base && *base ? base : "/tmp") + "/rovanta-fuzz-XXXXXX";
        fuzzCheck(mkdtemp(folder.data()) != nullptr, "cannot make the pipe's folder");
        static std::string made;
        made = folder + "/pipe";
        fuzzCheck(mkfifo(made.c_str(), 0600) == 0, "cannot make the pipe");
        std::atexit([] {
            unlink(made.c_str());
            rmdir(made.substr(0, made.rfind('/')).c_str());
        });
        return made;
    }();
    return path;
}

// Whether this input takes a rarer path (a pipe, a file grown past a size
// limit): one input in `oneIn`, picked from its bytes so that a replay picks
// the same.
inline bool fuzzPicks(const uint8_t* data, size_t size, unsigned salt, unsigned oneIn)
{
    unsigned mix = salt + static_cast<unsigned>(size) * 2654435761u;
    for (size_t i = 0; i < size && i < 64; ++i) {
        mix = mix * 31 + data[i];
    }
    return (mix >> 7) % oneIn == 0;
}
