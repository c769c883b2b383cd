#include "video_test_support.h"

#include "tools/videoenc/videoenc.h"

#include <cstdlib>
#include <filesystem>

namespace {

VideoEncoderSettings settings(int w, int h, int fps, int quality) {
    VideoEncoderSettings s;
    s.width = w;
    s.height = h;
    s.framesPerSecond = fps;
    s.quality = quality;
    return s;
}

// Mean absolute difference of every colour byte against the frame makeFrame drew.
double meanError(const unsigned char* frame, int w, int h, int index) {
    std::vector<unsigned char> truth = makeFrame(w, h, index);
    long total = 0;
    for (std::size_t i = 0; i < truth.size(); ++i) {
        if (i % 4 != 3) total += std::abs(int(frame[i]) - int(truth[i]));
    }
    return double(total) / (double(w) * h * 3);
}

}  // namespace

TEST(VideoEncoder, RejectsBadSettingsAndUnwritablePaths) {
    TempDir dir;
    const VideoEncoderSettings bad[] = {settings(0, 10, 30, 90),  settings(10, -1, 30, 90), settings(10, 10, 0, 90),
                                        settings(10, 10, 241, 90), settings(10, 10, 30, 0),  settings(10, 10, 30, 101)};
    for (const VideoEncoderSettings& s : bad) {
        std::string error;
        EXPECT_EQ(videoEncoderCreate(dir.file("bad.avi"), s, &error), nullptr);
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(std::filesystem::exists(dir.file("bad.avi")));
    }
    std::string error;
    EXPECT_EQ(videoEncoderCreate(dir.file("no/such/dir/x.avi"), settings(16, 16, 30, 90), &error), nullptr);
    EXPECT_NE(error.find("x.avi"), std::string::npos) << error;
    EXPECT_EQ(videoEncoderAddFrame(nullptr, nullptr, &error), -1);
    EXPECT_EQ(videoEncoderFinish(nullptr, &error), -1);
}

TEST_F(VideoClipTest, ClipWithoutFramesIsRefusedByTheLayer) {
    std::string error;
    VideoEncoder* enc = videoEncoderCreate(dir_.file("none.avi"), settings(64, 48, 30, 90), &error);
    ASSERT_NE(enc, nullptr) << error;
    ASSERT_EQ(videoEncoderFinish(enc, &error), 0) << error;
    testing::internal::CaptureStderr();
    EXPECT_EQ(videoOpen(fileConfig(dir_.file("none.avi")).c_str()), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("none.avi"), std::string::npos);
}

TEST_F(VideoClipTest, HigherQualityGivesBiggerFilesAndTruerPictures) {
    double error[2] = {};
    std::uintmax_t bytes[2] = {};
    const int qualities[2] = {5, 100};
    videoSetPacing(false);
    for (int k = 0; k < 2; ++k) {
        std::string path = dir_.file("q" + std::to_string(qualities[k]) + ".avi");
        std::string why;
        VideoEncoder* enc = videoEncoderCreate(path, settings(160, 120, 30, qualities[k]), &why);
        ASSERT_NE(enc, nullptr) << why;
        ASSERT_EQ(videoEncoderAddFrame(enc, makeFrame(160, 120, 21).data(), &why), 0) << why;
        ASSERT_EQ(videoEncoderFinish(enc, &why), 0) << why;
        bytes[k] = std::filesystem::file_size(path);
        ASSERT_EQ(videoOpen(fileConfig(path).c_str()), 0);
        videoCapStart();
        unsigned char* frame = videoGetImage();
        ASSERT_NE(frame, nullptr);
        error[k] = meanError(frame, 160, 120, 21);
        videoClose();
    }
    EXPECT_GT(bytes[1], bytes[0]);
    EXPECT_LT(error[1], error[0]);
    EXPECT_LT(error[1], 4.0) << "best quality stays close to the source";
}
