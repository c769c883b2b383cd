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

TEST_F(LiveSourceTest, FramesComeAtTheSourceRateInOrderWithTheirPixels) {
    open(CameraRequest{numberedSource(320, 240, 20), 640, 480, 0});
    EXPECT_NE(notes_.find("offers only 320x240"), std::string::npos) << notes_;
    int w = 0, h = 0;
    ASSERT_EQ(videoInqSize(&w, &h), 0);
    EXPECT_EQ(w * 10000 + h, 320 * 10000 + 240);
    videoSetPacing(false);  // file pacing off: the source alone sets the rate
    videoCapStart();
    Clock::time_point start = Clock::now();
    std::vector<Arrival> seen = collect(12, Ms(3000), start);
    ASSERT_EQ(seen.size(), 12u);
    for (size_t i = 1; i < seen.size(); ++i)
        EXPECT_EQ(seen[i].number, (seen[i - 1].number + 1) % 32) << "frame " << i << ": in order, none skipped";
    double meanInterval = (seen.back().ms - seen[1].ms) / (seen.size() - 2);
    EXPECT_GT(meanInterval, 40.0) << "a 20 fps source sends a frame every 50 ms";
    EXPECT_LT(meanInterval, 65.0);
    const unsigned char* p = last_ + (120 * 320 + 160) * 4;
    EXPECT_EQ(p[0], 200) << "blue";
    EXPECT_EQ(p[1], 40) << "green";
}

TEST_F(LiveSourceTest, BusyCallerGetsTheNewestFrameNotABacklog) {
    open(CameraRequest{numberedSource(160, 120, 25), 0, 0, 0});
    videoCapStart();
    Clock::time_point start = Clock::now();
    ASSERT_EQ(collect(1, Ms(2000), start).size(), 1u);
    int before = frameNumber(last_);
    std::this_thread::sleep_for(Ms(400));  // ten frames' time spent elsewhere
    std::vector<Arrival> next = collect(2, Ms(1000), Clock::now());
    ASSERT_EQ(next.size(), 2u);
    int jump = (next[0].number - before + 32) % 32;
    EXPECT_GE(jump, 8) << "the frames sent meanwhile are passed over";
    EXPECT_LE(jump, 12);
    EXPECT_EQ(next[1].number, (next[0].number + 1) % 32) << "then one frame at a time again";
}

TEST_F(LiveSourceTest, SourceThatStopsLeavesTheLastFrameAndNeverLoops) {
    open(CameraRequest{numberedSource(160, 120, 25, ":duration=0.4"), 0, 0, 0});
    videoCapStart();
    Clock::time_point start = Clock::now();
    testing::internal::CaptureStderr();
    std::vector<Arrival> seen = collect(100, Ms(1500), start);
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_GE(seen.size(), 8u) << "0.4 s at 25 fps is ten frames";
    EXPECT_LE(seen.size(), 10u);
    EXPECT_LE(seen.front().number, 1) << "from the start";
    for (size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i].number, seen[i - 1].number) << "no loop back to 0";
    EXPECT_TRUE(videoFailed());
    EXPECT_NE(err.find("stopped sending frames"), std::string::npos) << err;
    EXPECT_NE(err.find("lavfi:color"), std::string::npos) << "the message names the source: " << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << "said once: " << err;
    Clock::time_point after = Clock::now();
    EXPECT_EQ(videoGetImage(), nullptr);
    EXPECT_LT(msSince(after), 50.0) << "a stopped source does not block the caller";
    EXPECT_EQ(frameNumber(last_), seen.back().number) << "the last frame stays readable";
    EXPECT_EQ(videoCapStop(), 0);
    EXPECT_EQ(videoClose(), 0);
}

TEST_F(LiveSourceTest, UnknownDevicesAndBrokenGraphsFailToOpenWithOneLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"/nonexistent/video7", "/nonexistent/video7"},
        {"/dev/null", "/dev/null is not a camera"},
        {"lavfi:nosuchfilter=1", "lavfi:nosuchfilter=1"},
    };
    for (const auto& [device, mention] : cases) {
        videoSetCameraDevice(device.c_str());
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
