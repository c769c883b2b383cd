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

TEST_F(FilePath, OnlyRegularFilesAreReadWhole) {
    std::vector<unsigned char> bytes{1, 2, 3};
    EXPECT_FALSE(readWholeFile(dir.string().c_str(), bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(readWholeFile((dir / "absent").string().c_str(), bytes));
    EXPECT_FALSE(readWholeFile(nullptr, bytes));
    EXPECT_EQ(openFile(nullptr, "rb"), nullptr);
}

TEST(WideNames, BecomeUtf8) {
    EXPECT_EQ(wideToUtf8(L"Data\\m\u00e4in.bmp"), "Data\\m\xc3\xa4in.bmp");
    EXPECT_EQ(wideToUtf8(nullptr), "");
}

}  // namespace
