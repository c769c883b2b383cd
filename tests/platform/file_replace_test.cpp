#include "platform/file_replace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/scratch_dir.h"

namespace {

std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

size_t entriesIn(const std::string& dir) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

// Whatever goes wrong, the earlier file keeps its bytes and nothing is left beside it.
TEST(FileReplace, AFailedWriteLeavesTheEarlierFileAndNothingElse) {
    ScratchDir dir;
    const std::string earlier = dir.write("camera.dat", "good");
    std::filesystem::create_directory(dir.file("folder"));
    const auto halfWritten = [](std::FILE* file) {
        std::fputs("half", file);
        return false;
    };
    const auto whole = [](std::FILE* file) { return std::fputs("new", file) >= 0; };
    const struct {
        std::string path;
        std::function<bool(std::FILE*)> write;
        std::string reason;
    } cases[] = {
        {earlier, halfWritten, "the content could not be written"},
        {dir.file("folder"), whole, "a directory, not a regular file"},
        {"/dev/null", whole, "a character device, not a regular file"},
        {dir.file("missing/camera.dat"), whole, "No such file or directory"},
    };
    for (const auto& c : cases) {
        std::string why;
        EXPECT_FALSE(replaceFile(c.path.c_str(), c.write, &why)) << c.path;
        EXPECT_EQ(why, c.reason) << c.path;
        EXPECT_EQ(contentOf(earlier), "good");
        EXPECT_EQ(entriesIn(dir.path()), 2u) << c.path << ": a temporary file was left behind";
    }
}

TEST(FileReplace, ReplacesTheFileALinkLeadsToAndKeepsItsMode) {
    ScratchDir dir;
    const std::string target = dir.write("camera.dat", "old");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    std::filesystem::create_symlink(target, dir.file("link.dat"));
    ASSERT_TRUE(replaceFile(dir.file("link.dat").c_str(), "new", 3));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.dat")));
    EXPECT_EQ(contentOf(target), "new");
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    ASSERT_TRUE(replaceFile(dir.file("fresh.dat").c_str(), "", 0));
    EXPECT_EQ(entriesIn(dir.path()), 3u);
}

}  // namespace
