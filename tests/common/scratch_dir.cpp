#include "common/scratch_dir.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace {

std::string current;

void removeCurrent() {
    if (current.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(current, ignored);
    current.clear();
}

class RemoveAtTestEnd : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo& test) override {
        if (!current.empty() && test.result()->Failed()) {
            std::printf("files of the failed test kept in %s\n", current.c_str());
            current.clear();
        }
        removeCurrent();
    }
};

void removeAfterEachTest() {
    static bool listening = false;
    if (listening) return;
    ::testing::UnitTest::GetInstance()->listeners().Append(new RemoveAtTestEnd);
    std::atexit(removeCurrent);
    listening = true;
}

}  // namespace

std::string testScratchDir() {
    if (!current.empty()) return current;
    removeAfterEachTest();
    std::string pattern = (std::filesystem::temp_directory_path() / "rovanta-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a folder like " + pattern);
    current = pattern + "/";
    return current;
}

std::string scratchPath(const std::string& name) { return testScratchDir() + name; }
