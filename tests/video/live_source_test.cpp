// The live path (the one a webcam takes) run on FFmpeg filter graphs that
// stand in for a camera: frames come when the source sends them, never from a
// loop or a seek, and a source that stops leaves the last frame on show.
#include "app/video/video.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

const std::string kCameraForm =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><video_input><camera show_format_dialog=\"true\" "
    "friendly_name=\"default\"><pixel_format><RGB32 flip_h=\"false\" flip_v=\"true\"/></pixel_format>"
    "</camera></video_input>";

// Red channel = 8 x frame number (mod 256), so each frame says which it is.
// The numbers are drawn small and scaled up: the source must cost little to run.
std::string numberedSource(int width, int height, int rate, const std::string& extra = "") {
    return "lavfi:color=size=16x12:rate=" + std::to_string(rate) + extra +
           ",format=rgb24,geq=r='mod(N*8\\,256)':g=40:b=200,scale=" + std::to_string(width) + ":" +
           std::to_string(height) + ":flags=neighbor,realtime";
}

int frameNumber(const unsigned char* frame) { return frame[2] / 8; }

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

struct Arrival {
    double ms;
    int number;
};

class LiveSourceTest : public ::testing::Test {
protected:
    void TearDown() override {
        videoClose();
        videoSetCameraRequest(CameraRequest{});
        videoSetPacing(true);
    }

    void open(const CameraRequest& request) {
        videoSetCameraRequest(request);
        testing::internal::CaptureStderr();
        int status = videoOpen(kCameraForm.c_str());
        notes_ = testing::internal::GetCapturedStderr();
        ASSERT_EQ(status, 0) << notes_;
    }

    // Polls the way the frame loop does until `count` frames came or `limit` passed.
    std::vector<Arrival> collect(int count, Ms limit, Clock::time_point start) {
        std::vector<Arrival> seen;
        while (static_cast<int>(seen.size()) < count && msSince(start) < limit.count()) {
            if (unsigned char* frame = videoGetImage()) {
                seen.push_back({msSince(start), frameNumber(frame)});
                last_ = frame;
                videoCapNext();
            }
            std::this_thread::sleep_for(Ms(1));
        }
        return seen;
    }

    std::string notes_;
    unsigned char* last_ = nullptr;
};

// Milliseconds per source frame between the first and the last frame seen.
double msPerSourceFrame(const std::vector<Arrival>& seen) {
    int frames = 0;
    for (size_t i = 1; i < seen.size(); ++i) frames += (seen[i].number - seen[i - 1].number + 32) % 32;
    return frames > 0 ? (seen.back().ms - seen.front().ms) / frames : 0.0;
}

TEST_F(LiveSourceTest, FramesComeAtTheSourceRateInOrderWithTheirPixels) {
    open(CameraRequest{numberedSource(320, 240, 20), 640, 480, 0});
    EXPECT_NE(notes_.find("offers only 320x240"), std::string::npos) << notes_;
    int w = 0, h = 0;
    ASSERT_EQ(videoInqSize(&w, &h), 0);
    EXPECT_EQ(w * 10000 + h, 320 * 10000 + 240);
    videoSetPacing(false);  // file pacing off: the source alone sets the rate
    videoCapStart();
    std::vector<Arrival> seen = collect(12, Ms(3000), Clock::now());
    ASSERT_EQ(seen.size(), 12u);
    for (size_t i = 1; i < seen.size(); ++i) {
        int step = (seen[i].number - seen[i - 1].number + 32) % 32;
        EXPECT_TRUE(step >= 1 && step < 16) << "frame " << i << ": newer than the last, never repeated";
    }
    EXPECT_NEAR(msPerSourceFrame(seen), 50.0, 12.0) << "a 20 fps source sends a frame every 50 ms";
    const unsigned char* p = last_ + (120 * 320 + 160) * 4;
    EXPECT_EQ(p[0], 200) << "blue";
    EXPECT_EQ(p[1], 40) << "green";
}

TEST_F(LiveSourceTest, BusyCallerGetsTheNewestFrameNotABacklog) {
    open(CameraRequest{numberedSource(160, 120, 25), 0, 0, 0});
    videoCapStart();
    ASSERT_EQ(collect(1, Ms(2000), Clock::now()).size(), 1u);
    Clock::time_point busy = Clock::now();
    int before = frameNumber(last_);
    std::this_thread::sleep_for(Ms(400));  // ten frames' time spent elsewhere
    std::vector<Arrival> next = collect(1, Ms(1000), Clock::now());
    ASSERT_EQ(next.size(), 1u);
    int sent = static_cast<int>(msSince(busy) / 40.0);  // frames the source sent meanwhile
    int jump = (next[0].number - before + 32) % 32;
    EXPECT_GE(jump, sent / 2 + 1) << "the frames sent meanwhile are passed over, not replayed";
    EXPECT_LE(jump, sent + 2);
}

TEST_F(LiveSourceTest, SourceThatStopsLeavesTheLastFrameAndNeverLoops) {
    open(CameraRequest{numberedSource(160, 120, 25, ":duration=0.4"), 0, 0, 0});
    videoCapStart();
    testing::internal::CaptureStderr();
    std::vector<Arrival> seen = collect(100, Ms(1500), Clock::now());
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_GE(seen.size(), 2u);
    for (size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i].number, seen[i - 1].number) << "no loop back to 0";
    EXPECT_EQ(seen.back().number, 9) << "0.4 s at 25 fps: the tenth frame is the last";
    EXPECT_TRUE(videoFailed());
    EXPECT_NE(err.find("stopped sending frames"), std::string::npos) << err;
    EXPECT_NE(err.find("lavfi:color"), std::string::npos) << "the message names the source: " << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << "said once: " << err;
    Clock::time_point after = Clock::now();
    EXPECT_EQ(videoGetImage(), nullptr);
    EXPECT_LT(msSince(after), 50.0) << "a stopped source does not block the caller";
    EXPECT_EQ(frameNumber(last_), 9) << "the last frame stays readable";
    EXPECT_EQ(videoCapStop(), 0);
    EXPECT_EQ(videoClose(), 0);
}

TEST_F(LiveSourceTest, UnknownDevicesAndBrokenGraphsFailToOpenWithOneLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"/nonexistent/video7", "/nonexistent/video7"},
        {"/dev/null", "/dev/null is not a camera"},
        {"lavfi:nosuchfilter=1", "lavfi:nosuchfilter=1"},
        // Graphs that would read a file (or a pipe that hangs the open) are refused, however written.
        {"lavfi:movie=clip.avi", "\"movie\" is not a test picture"},
        {"lavfi:testsrc,sendcmd=f=cmds.txt", "\"sendcmd\""},
        {"lavfi:[in] 'mo'v\\ie = clip.avi [out]", "\"movie\""},
        {"lavfi:testsrc;amovie=a.wav", "\"amovie\""},
        // A filter that hoards frames would grow without bound.
        {"lavfi:testsrc2,loop=loop=-1:size=32767", "\"loop\""},
    };
    for (const auto& [device, mention] : cases) {
        videoSetCameraRequest(CameraRequest{device});
        testing::internal::CaptureStderr();
        EXPECT_EQ(videoOpen(kCameraForm.c_str()), -1) << device;
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(mention), std::string::npos) << err;
        if (device[0] == '/') {
            EXPECT_NE(err.find("camera"), std::string::npos) << "names the cameras there are: " << err;
        }
        EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    }
}

}  // namespace
