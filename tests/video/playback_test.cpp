#include "avi_bytes.h"
#include "video_test_support.h"

#include "world/scene_loader.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <cstring>

namespace {

void expectColourNear(Rgb actual, Rgb expected, const char* where) {
    constexpr int kTolerance = 24;  // Motion-JPEG at high quality
    EXPECT_NEAR(actual.r, expected.r, kTolerance) << where;
    EXPECT_NEAR(actual.g, expected.g, kTolerance) << where;
    EXPECT_NEAR(actual.b, expected.b, kTolerance) << where;
}

// Samples the middle of each quadrant of a frame drawn by makeFrame.
void expectQuadrants(const unsigned char* frame, int w, int h) {
    int top = kCodeBandHeight + (h - kCodeBandHeight) / 4;
    int bottom = kCodeBandHeight + 3 * (h - kCodeBandHeight) / 4;
    expectColourNear(pixelAt(frame, w, w / 4, top), kQuadrantColours[0], "top left");
    expectColourNear(pixelAt(frame, w, 3 * w / 4, top), kQuadrantColours[1], "top right");
    expectColourNear(pixelAt(frame, w, w / 4, bottom), kQuadrantColours[2], "bottom left");
    expectColourNear(pixelAt(frame, w, 3 * w / 4, bottom), kQuadrantColours[3], "bottom right");
    // Last pixel of the buffer: bottom-right colour, so rows carry no padding.
    expectColourNear(pixelAt(frame, w, w - 1, h - 1), kQuadrantColours[3], "last pixel");
}

}  // namespace

TEST_F(VideoClipTest, ReportsSizeAndDeliversBgrxRowsFromTheTop) {
    // 90 x 70: rows of 360 bytes, not a multiple of any alignment a converter likes.
    for (ClipShape shape : {ClipShape{160, 120, 3, 30}, ClipShape{90, 70, 3, 30}}) {
        SCOPED_TRACE(shape.width);
        openClip(shape);
        int w = 0, h = 0;
        ASSERT_EQ(videoInqSize(&w, &h), 0);
        EXPECT_EQ(w, shape.width);
        EXPECT_EQ(h, shape.height);
        videoSetPacing(false);
        videoCapStart();
        unsigned char* frame = videoGetImage();
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(readFrameIndex(frame, w), 0) << "the numbered band must be at the top";
        expectQuadrants(frame, w, h);
        videoClose();
    }
}

TEST_F(VideoClipTest, NothingIsDeliveredBeforeStart) {
    openClip(ClipShape{});
    videoSetPacing(false);
    EXPECT_EQ(videoGetImage(), nullptr);
    EXPECT_EQ(videoCapNext(), -1);
}

TEST_F(VideoClipTest, FastModeDeliversEveryFrameInOrderAndLoops) {
    openClip(ClipShape{160, 120, 5, 30});
    videoSetPacing(false);
    videoCapStart();
    std::vector<int> expected;
    for (int i = 0; i < 13; ++i) expected.push_back(i % 5);
    EXPECT_EQ(readIndices(13), expected);
    EXPECT_FALSE(videoFailed());
    videoClose();

    openClip(ClipShape{160, 120, 1, 30}, "single.avi");
    videoCapStart();
    EXPECT_EQ(readIndices(3), (std::vector<int>{0, 0, 0})) << "a one-frame clip loops on its only frame";
}

TEST_F(VideoClipTest, FileThatDoesNotLoopStopsAfterItsLastFrame) {
    std::string path = dir_.file("once.avi");
    ASSERT_EQ(writeClip(path, ClipShape{160, 120, 3, 30}), "");
    shape_ = ClipShape{160, 120, 3, 30};
    std::string config = "<video_input><avi_file file_name='" + path + "' loop_avi='false'/></video_input>";
    ASSERT_EQ(videoOpen(config.c_str()), 0);
    videoSetPacing(false);
    videoCapStart();
    EXPECT_EQ(readIndices(10), (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(videoFailed());
}

TEST_F(VideoClipTest, ReturnedFrameStaysIntactUntilANewerOneIsReturned) {
    openClip(ClipShape{160, 120, 4, 30});
    videoSetPacing(false);
    videoCapStart();
    unsigned char* first = videoGetImage();
    ASSERT_NE(first, nullptr);
    std::vector<unsigned char> copy(first, first + 160 * 120 * 4);
    // The layer decodes ahead here; the handed-out frame must not change.
    EXPECT_EQ(videoCapNext(), 0);
    EXPECT_EQ(videoCapNext(), 0);
    EXPECT_EQ(std::memcmp(first, copy.data(), copy.size()), 0);
    unsigned char* second = videoGetImage();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(readFrameIndex(second, 160), 1);
    EXPECT_EQ(std::memcmp(first, copy.data(), copy.size()), 0) << "old frame stays until the newer is returned";
}

TEST_F(VideoClipTest, StartAgainKeepsPlayingAndRestartAfterStopRewinds) {
    openClip(ClipShape{160, 120, 6, 30});
    videoSetPacing(false);
    videoCapStart();
    EXPECT_EQ(readIndices(2), (std::vector<int>{0, 1}));
    EXPECT_EQ(videoCapStart(), 0);  // the R key pressed again
    EXPECT_EQ(readIndices(2), (std::vector<int>{2, 3}));

    unsigned char* last = videoGetImage();
    ASSERT_NE(last, nullptr);
    int lastIndex = readFrameIndex(last, 160);
    EXPECT_EQ(videoCapStop(), 0);
    EXPECT_EQ(videoGetImage(), nullptr);
    EXPECT_EQ(videoCapStart(), 0);
    EXPECT_EQ(readFrameIndex(last, 160), lastIndex) << "restart must not overwrite the frame on screen";
    EXPECT_EQ(readIndices(3), (std::vector<int>{0, 1, 2}));
}

TEST_F(VideoClipTest, OpenCloseCyclesAndMisuseAreHandled) {
    std::string path = dir_.file("cycle.avi");
    ASSERT_EQ(writeClip(path, ClipShape{}), "");
    shape_ = ClipShape{};
    videoSetPacing(false);
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(videoOpen(fileConfig(path).c_str()), 0);
        EXPECT_EQ(videoOpen(fileConfig(path).c_str()), -1) << "one source at a time";
        videoCapStart();
        EXPECT_EQ(readIndices(2), (std::vector<int>{0, 1}));
        EXPECT_EQ(videoCapStop(), 0);
        EXPECT_EQ(videoClose(), 0);
    }
    int w = -1, h = -1;
    EXPECT_EQ(videoInqSize(&w, &h), -1);
    EXPECT_EQ(videoCapStart(), -1);
    EXPECT_EQ(videoGetImage(), nullptr);
    EXPECT_EQ(videoCapStop(), -1);
    EXPECT_EQ(videoClose(), -1);
}

TEST_F(VideoClipTest, FileNameWithEntitiesOpens) {
    std::string name = "a&b \"c\" <d>.avi";
    ASSERT_EQ(writeClip(dir_.file(name), ClipShape{}), "");
    std::string escaped = dir_.file("a&amp;b &quot;c&quot; &lt;d&#62;.avi");
    ASSERT_EQ(videoOpen(fileConfig(escaped).c_str()), 0);
    int w = 0, h = 0;
    EXPECT_EQ(videoInqSize(&w, &h), 0);
    EXPECT_EQ(w, 160);
}

// The scene's VIDEO value becomes an attribute of the configuration, so file
// names with markup characters in them must still play.
TEST_F(VideoClipTest, SceneVideoNamesWithMarkupCharactersPlay) {
    for (const std::string name : {"a&b\"x\".avi", "<c>'d'&amp;.avi"}) {
        ASSERT_EQ(writeClip(dir_.file(name), ClipShape{}), "");
        const std::string scene = dir_.file("Scene.txt");
        std::ofstream(scene) << "SCENE-V-0.0.1\nVIDEO " << dir_.file(name) << "\n";
        World world;
        loadScene(world, scene);
        EXPECT_EQ(world.videoLine, scene + ":2: VIDEO " + dir_.file(name));
        ASSERT_EQ(videoOpen(world.videoConfig.c_str()), 0) << name;
        videoSetPacing(false);
        videoCapStart();
        EXPECT_NE(videoGetImage(), nullptr) << name;
        videoClose();
    }
}

TEST_F(VideoClipTest, FileNamesAreLocalPathsWithEitherSeparator) {
    // Without care "clip:1.avi" reads as protocol "clip", and a backslash as part of a name.
    std::filesystem::create_directory(dir_.file("sub"));
    ASSERT_EQ(writeClip(dir_.file("sub/clip:1.avi"), ClipShape{}), "");
    ASSERT_EQ(videoOpen(fileConfig(dir_.file("sub\\clip:1.avi")).c_str()), 0);
    videoSetPacing(false);
    videoCapStart();
    unsigned char* frame = videoGetImage();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(readFrameIndex(frame, 160), 0);
}

TEST_F(VideoClipTest, FramesOfAnotherSizeAreScaledToTheReportedSize) {
    std::string big = dir_.file("big.avi"), small = dir_.file("small.avi");
    ASSERT_EQ(writeClip(big, ClipShape{160, 120, 6, 30}), "");
    ASSERT_EQ(writeClip(small, ClipShape{80, 60, 6, 30}), "");
    std::vector<char> bigBytes = readBytes(big), smallBytes = readBytes(small);
    std::vector<ChunkSpan> bigChunks = videoChunks(bigBytes), smallChunks = videoChunks(smallBytes);
    ASSERT_EQ(bigChunks.size(), 6u);
    ASSERT_EQ(smallChunks.size(), 6u);
    // Frames 2 and 3 become 80 x 60 pictures; the zero tail after a JPEG is ignored.
    for (int i : {2, 3}) {
        ASSERT_LE(smallChunks[i].size, bigChunks[i].size);
        auto dst = bigBytes.begin() + static_cast<std::ptrdiff_t>(bigChunks[i].payload);
        std::fill(dst, dst + static_cast<std::ptrdiff_t>(bigChunks[i].size), 0);
        auto src = smallBytes.begin() + static_cast<std::ptrdiff_t>(smallChunks[i].payload);
        std::copy(src, src + static_cast<std::ptrdiff_t>(smallChunks[i].size), dst);
    }
    writeBytes(big, bigBytes);

    shape_ = ClipShape{160, 120, 6, 30};
    ASSERT_EQ(videoOpen(fileConfig(big).c_str()), 0);
    videoSetPacing(false);
    videoCapStart();
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        unsigned char* frame = videoGetImage();
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(readFrameIndex(frame, 160), i);
        expectQuadrants(frame, 160, 120);
        videoCapNext();
    }
}
