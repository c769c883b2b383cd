#pragma once
// Every test that writes files writes them into a folder of its own, made
// fresh and empty under $TMPDIR (or /tmp), so that no test can see another
// test's files or the leftovers of an earlier run.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

// The running test's folder, ending in '/': made on first use, removed with
// everything in it when the test ends (kept, and named, when the test failed).
std::string testScratchDir();

// testScratchDir() + name.
std::string scratchPath(const std::string& name);

// The same as an object of the test's own: a fresh folder, removed with its
// contents when the object goes.
class ScratchDir {
public:
    ScratchDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/rovanta-test-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()) != nullptr) path_ = name.data();
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    bool ok() const { return !path_.empty(); }
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
