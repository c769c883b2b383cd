#include "platform/file_path.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "common/scratch_dir.h"
#include "tracking/camera.h"

namespace {

class FilePath : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testScratchDir();
        std::filesystem::create_directories(dir / "Data");
    }
    std::filesystem::path dir;
};

TEST_F(FilePath, BackslashesSeparateFoldersEverywhere) {
    EXPECT_EQ(portablePath("Data\\main.bmp"), "Data/main.bmp");
    EXPECT_EQ(portablePath(nullptr), "");

    CameraIntrinsics written{};
    written.width = 320;
    written.height = 240;
    written.distortion[3] = 1.0;
    const std::string slashPath = (dir / "Data" / "camera.dat").string();
    ASSERT_EQ(saveCameraParams(slashPath.c_str(), &written, 1), 0);
    const std::string windowsPath = dir.string() + "\\Data\\camera.dat";
    CameraIntrinsics read{};
    ASSERT_EQ(loadCameraParams(windowsPath.c_str(), 1, &read), 0);
    EXPECT_EQ(read.width, 320);

    std::vector<unsigned char> bytes;
    EXPECT_TRUE(readWholeFile(windowsPath.c_str(), bytes));
    EXPECT_EQ(bytes.size(), static_cast<size_t>(kCameraRecordSize));
}

// Reading is refused before opening anything but a regular file: a pipe with
// no writer would block for ever, a device would never end.
TEST(FileReading, OnlyRegularFilesOfBoundedSizeAreOpened) {
    ScratchDir dir;
    const std::string big = dir.write("big.bin", "x");
    ASSERT_EQ(truncate(big.c_str(), 2048), 0);
    const struct {
        std::string path, reason;
    } refused[] = {{dir.path(), "a directory, not a regular file"},
                   {dir.pipe("pipe"), "a named pipe, not a regular file"},
                   {"/dev/null", "a character device, not a regular file"},
                   {dir.file("absent"), "No such file or directory"}};
    for (const auto& c : refused) {
        std::string why;
        EXPECT_EQ(openFile(c.path.c_str(), "r", &why), nullptr) << c.path;
        EXPECT_EQ(why, c.reason);
        EXPECT_EQ(regularFileProblem(c.path.c_str()), c.reason);
        std::vector<unsigned char> bytes{1, 2, 3};
        EXPECT_FALSE(readWholeFile(c.path.c_str(), bytes, &why));
        EXPECT_EQ(why, c.reason);
        EXPECT_TRUE(bytes.empty());
    }
    std::vector<unsigned char> bytes;
    std::string why;
    EXPECT_FALSE(readWholeFile(big.c_str(), bytes, &why, 2047));
    EXPECT_EQ(why, "larger than 2047 bytes");
    EXPECT_TRUE(readWholeFile(big.c_str(), bytes, &why, 2048));
    EXPECT_EQ(bytes.size(), 2048u);
    EXPECT_FALSE(readWholeFile(nullptr, bytes));
    EXPECT_EQ(openFile(nullptr, "rb"), nullptr);
    std::FILE* written = openFile(dir.file("new.txt").c_str(), "w");  // writing is not limited
    ASSERT_NE(written, nullptr);
    std::fclose(written);
}

TEST(FileReading, ByteOrderMarkIsSkippedOnlyWhereThereIsOne) {
    ScratchDir dir;
    for (const std::string& text : {std::string("\xEF\xBB\xBF") + "12", std::string("12"), std::string("\xEF\xBB")}) {
        std::FILE* file = openFile(dir.write("text.txt", text).c_str(), "r");
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(skipByteOrderMark(file), text.size() == 5);
        char rest[8] = {};
        EXPECT_EQ(std::string(rest, std::fread(rest, 1, sizeof rest, file)), text.size() == 5 ? "12" : text);
        std::fclose(file);
    }
}

TEST(WideNames, BecomeUtf8) {
    EXPECT_EQ(wideToUtf8(L"Data\\m\u00e4in.bmp"), "Data\\m\xc3\xa4in.bmp");
    EXPECT_EQ(wideToUtf8(nullptr), "");
}

}  // namespace
