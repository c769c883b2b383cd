#include "avi_bytes.h"
#include "video_test_support.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>

namespace {

// A valid one-second WAV file: a container with sound but no pictures.
std::vector<char> silentWav() {
    const std::uint32_t rate = 8000, dataBytes = rate;
    std::vector<char> b;
    auto put = [&b](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    auto tag = [&b](const char* t) { b.insert(b.end(), t, t + 4); };
    tag("RIFF"), put(36 + dataBytes, 4), tag("WAVE"), tag("fmt "), put(16, 4);
    put(1, 2), put(1, 2), put(rate, 4), put(rate, 4), put(1, 2), put(8, 2);
    tag("data"), put(dataBytes, 4);
    b.resize(b.size() + dataBytes, static_cast<char>(0x80));
    return b;
}

// Overwrites the payload of every video chunk with noise; returns how many.
int scrambleVideoChunks(std::vector<char>& avi) {
    std::mt19937 noise(7);
    std::vector<ChunkSpan> chunks = videoChunks(avi);
    for (const ChunkSpan& c : chunks) {
        for (std::size_t k = 0; k < c.size; ++k) avi[c.payload + k] = static_cast<char>(noise());
    }
    return static_cast<int>(chunks.size());
}

class VideoFailureTest : public VideoClipTest {
protected:
    // Opening must fail with exactly one line on standard error naming `mention`.
    void expectOpenFails(const std::string& config, const std::string& mention) {
        testing::internal::CaptureStderr();
        int result = videoOpen(config.c_str());
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(result, -1);
        EXPECT_NE(err.find(mention), std::string::npos) << err;
        ASSERT_FALSE(err.empty());
        EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
        int w = 0, h = 0;
        EXPECT_EQ(videoInqSize(&w, &h), -1) << "nothing stays open after a failed open";
    }

    std::string validClip(const char* name, ClipShape shape) {
        std::string path = dir_.file(name);
        EXPECT_EQ(writeClip(path, shape), "");
        shape_ = shape;
        return path;
    }
};

}  // namespace

TEST_F(VideoFailureTest, MissingEmptyAndNonVideoFilesFailToOpen) {
    expectOpenFails(fileConfig(dir_.file("missing.avi")), "missing.avi");
    writeBytes(dir_.file("empty.avi"), {});
    expectOpenFails(fileConfig(dir_.file("empty.avi")), "empty.avi");
    writeBytes(dir_.file("sound.wav"), silentWav());
    expectOpenFails(fileConfig(dir_.file("sound.wav")), "sound.wav: a WAV / WAVE (Waveform Audio) file, not a video file");
    expectOpenFails(fileConfig(dir_.file("")), "a directory, not a regular file");
    // A pipe would block the open for ever, a device never end: refused unopened.
    ASSERT_EQ(mkfifo(dir_.file("pipe.avi").c_str(), 0600), 0);
    expectOpenFails(fileConfig(dir_.file("pipe.avi")), "pipe.avi: a named pipe, not a regular file");
    expectOpenFails(fileConfig("/dev/zero"), "/dev/zero: a character device, not a regular file");
    expectOpenFails("<video_input><nothing/></video_input>", "neither");
    // Nor through a playlist that names it (or any other file): only video files are played.
    const std::string lists[][2] = {
        {"list.avi", "ffconcat version 1.0\nfile 'pipe.avi'\n"},
        {"list.m3u8", "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\npipe.avi\n#EXT-X-ENDLIST\n"},
    };
    for (const auto& [name, text] : lists) {
        writeBytes(dir_.file(name), std::vector<char>(text.begin(), text.end()));
        expectOpenFails(fileConfig(dir_.file(name)), name + ": a ");
        expectOpenFails(fileConfig(dir_.file(name)), "not a video file");
    }
}

TEST_F(VideoFailureTest, GarbageAndDamagedFilesNeverCrash) {
    std::mt19937 rng(1);
    std::vector<char> garbage(20000);
    for (char& c : garbage) c = static_cast<char>(rng());
    writeBytes(dir_.file("garbage.avi"), garbage);
    expectOpenFails(fileConfig(dir_.file("garbage.avi")), "garbage.avi");

    std::vector<char> avi = readBytes(validClip("scrambled.avi", ClipShape{}));
    ASSERT_EQ(scrambleVideoChunks(avi), 6);
    writeBytes(dir_.file("scrambled.avi"), avi);
    expectOpenFails(fileConfig(dir_.file("scrambled.avi")), "scrambled.avi");
}

TEST_F(VideoFailureTest, TruncatedFilePlaysWhatIsLeftOrFailsToOpen) {
    std::vector<char> avi = readBytes(validClip("full.avi", ClipShape{160, 120, 10, 30}));
    std::vector<char> head(avi.begin(), avi.begin() + avi.size() / 2);
    writeBytes(dir_.file("half.avi"), head);
    ASSERT_EQ(videoOpen(fileConfig(dir_.file("half.avi")).c_str()), 0);
    videoSetPacing(false);
    videoCapStart();
    std::vector<int> seen = readIndices(30);
    ASSERT_EQ(seen.size(), 30u) << "what is left keeps looping";
    int firstOfSecondPass = 0;
    while (firstOfSecondPass < 30 && seen[firstOfSecondPass] == firstOfSecondPass) ++firstOfSecondPass;
    EXPECT_GE(firstOfSecondPass, 2);
    EXPECT_LT(firstOfSecondPass, 10) << "half a file cannot hold every frame";
    EXPECT_EQ(seen[firstOfSecondPass], 0) << "the surviving frames loop from the start";
    videoClose();

    for (std::size_t size : {std::size_t(12), std::size_t(200), std::size_t(2000)}) {
        std::vector<char> stub(avi.begin(), avi.begin() + std::min(size, avi.size()));
        writeBytes(dir_.file("stub.avi"), stub);
        expectOpenFails(fileConfig(dir_.file("stub.avi")), "stub.avi");
    }
}

TEST_F(VideoFailureTest, FileDamagedAfterTheFirstFramesEndsPlaybackInAClearError) {
    std::vector<char> avi = readBytes(validClip("late.avi", ClipShape{160, 120, 4, 30}));
    std::string path = dir_.file("late.avi");
    ASSERT_EQ(videoOpen(fileConfig(path).c_str()), 0);
    videoSetPacing(false);
    videoCapStart();
    EXPECT_EQ(readIndices(2), (std::vector<int>{0, 1}));
    // The file is replaced by noise while playing: the next pass finds nothing.
    ASSERT_EQ(scrambleVideoChunks(avi), 4);
    writeBytes(path, avi);
    testing::internal::CaptureStderr();
    std::vector<int> rest = readIndices(20);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_LT(rest.size(), 4u);
    EXPECT_TRUE(videoFailed());
    EXPECT_NE(err.find("late.avi"), std::string::npos) << err;
    EXPECT_EQ(videoGetImage(), nullptr);
}

TEST_F(VideoFailureTest, MissingOrWrongCameraFailsQuickly) {
    auto start = std::chrono::steady_clock::now();
    if (!std::filesystem::exists("/dev/video0")) expectOpenFails(cameraConfig(), "/dev/video0");
    videoSetCameraRequest(CameraRequest{dir_.file("video9")});
    expectOpenFails(cameraConfig(), "video9");
    writeBytes(dir_.file("not-a-camera"), {'x'});
    videoSetCameraRequest(CameraRequest{dir_.file("not-a-camera")});
    expectOpenFails(cameraConfig(), "not-a-camera");
    videoSetCameraRequest(CameraRequest{"/dev/null"});  // a character device, but no camera
    expectOpenFails(cameraConfig(), "/dev/null");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST_F(VideoFailureTest, FramesWiderThan8kAreRefused) {
    // Thin clips keep the test cheap; the width alone decides.
    ASSERT_EQ(writeClip(dir_.file("wide.avi"), ClipShape{7682, 32, 1, 30}), "");
    expectOpenFails(fileConfig(dir_.file("wide.avi")), "too large");
    ASSERT_EQ(writeClip(dir_.file("8k.avi"), ClipShape{7680, 32, 1, 30}), "");
    ASSERT_EQ(videoOpen(fileConfig(dir_.file("8k.avi")).c_str()), 0);
    int w = 0, h = 0;
    EXPECT_EQ(videoInqSize(&w, &h), 0);
    EXPECT_EQ(w, 7680);
}
