// A fresh folder for one test under $TMPDIR (or /tmp), removed with its files,
// so that a test depends on nothing it did not write itself.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

class ScratchDir {
public:
    ScratchDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/rovanta-test-XXXXXX";
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed under " + pattern);
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Writes the bytes and returns the file's path.
    std::string write(const std::string& name, const std::string& bytes) const {
        const std::string path = file(name);
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (!out) throw std::runtime_error("cannot write " + path);
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
        return path;
    }
    // A named pipe that nobody writes to: reading it would block for ever.
    std::string pipe(const std::string& name) const {
        const std::string path = file(name);
        if (mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("cannot make pipe " + path);
        return path;
    }

private:
    std::string path_;
};
