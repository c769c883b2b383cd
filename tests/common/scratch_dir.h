#pragma once
// Every test that writes files writes them into a folder of its own, made
// fresh and empty under $TMPDIR (or /tmp), so that no test can see another
// test's files or the leftovers of an earlier run.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
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
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};
