#pragma once
// Readers that take a path get the fuzz input through a memory file: no disk
// writes, and a name private to the process so parallel runs cannot clash.

#include "fuzz_check.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
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
