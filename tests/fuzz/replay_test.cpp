// Replays a fuzz target's seed corpus and its kept regression inputs as
// ordinary tests, so that a fixed fault stays fixed in every build (and is
// caught by the sanitizers in the sanitizer build).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

// Folders are given by the build as one ';'-separated list.
std::vector<fs::path> inputFolders()
{
    std::vector<fs::path> folders;
    std::string list = ROVANTA_FUZZ_INPUT_DIRS;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(';', start), list.size());
        if (end > start) {
            folders.emplace_back(list.substr(start, end - start));
        }
        start = end + 1;
    }
    return folders;
}

std::vector<fs::path> inputFiles()
{
    std::vector<fs::path> files;
    for (const fs::path& folder : inputFolders()) {
        if (!fs::is_directory(folder)) {
            continue;
        }
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') {
                files.push_back(entry.path());
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FuzzInputReplay : public testing::TestWithParam<fs::path> {};

TEST_P(FuzzInputReplay, RunsCleanly)
{
    const std::vector<uint8_t> bytes = readBytes(GetParam());
    ASSERT_EQ(bytes.size(), fs::file_size(GetParam())) << "could not read " << GetParam();
    EXPECT_EQ(LLVMFuzzerTestOneInput(bytes.data(), bytes.size()), 0);
}

std::string testName(const testing::TestParamInfo<fs::path>& info)
{
    std::string name = info.param.parent_path().parent_path().filename().string() + "_" + info.param.filename().string();
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(Inputs, FuzzInputReplay, testing::ValuesIn(inputFiles()), testName);

// Guards against a moved or misspelled folder silently replaying nothing.
TEST(FuzzInputFolders, HoldInputs) { EXPECT_FALSE(inputFiles().empty()); }

}  // namespace
