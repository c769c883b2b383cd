#include "video_test_support.h"

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

// Polls until a frame arrives or `limit` passes; returns the frame or null.
unsigned char* waitForFrame(Ms limit) {
    Clock::time_point end = Clock::now() + limit;
    while (Clock::now() < end) {
        if (unsigned char* frame = videoGetImage()) return frame;
        std::this_thread::sleep_for(Ms(1));
    }
    return nullptr;
}

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

}  // namespace

TEST_F(VideoClipTest, PacedPlaybackWaitsForEachFrameAtTheFileRate) {
    openClip(ClipShape{160, 120, 4, 10});  // one frame per 100 ms
    Clock::time_point start = Clock::now();
    videoCapStart();
    unsigned char* frame = videoGetImage();
    ASSERT_NE(frame, nullptr) << "the first frame is due at start";
    EXPECT_EQ(readFrameIndex(frame, 160), 0);
    videoCapNext();
    EXPECT_EQ(videoGetImage(), nullptr) << "the next frame is not due yet";

    for (int i = 1; i <= 5; ++i) {
        frame = waitForFrame(Ms(1000));
        ASSERT_NE(frame, nullptr);
        double elapsed = msSince(start);
        EXPECT_GE(elapsed, 100.0 * i) << "frame " << i << " came early";
        EXPECT_LT(elapsed, 100.0 * i + 250.0) << "frame " << i << " came late";
        EXPECT_EQ(readFrameIndex(frame, 160), i % 4) << "paced playback loops as well";
        videoCapNext();
    }
}

TEST_F(VideoClipTest, SlowCallerGetsNoBurstOfOverdueFrames) {
    openClip(ClipShape{160, 120, 8, 20});  // one frame per 50 ms
    videoCapStart();
    ASSERT_NE(videoGetImage(), nullptr);
    std::this_thread::sleep_for(Ms(300));  // six frames overdue
    int immediate = 0;
    while (videoGetImage() != nullptr && immediate < 10) ++immediate;
    // One overdue frame now, at most one more to catch up, then the normal rate.
    EXPECT_GE(immediate, 1);
    EXPECT_LE(immediate, 2);
    EXPECT_NE(waitForFrame(Ms(500)), nullptr);
}

TEST_F(VideoClipTest, PacingCanBeSwitchedOffAndOnWhilePlaying) {
    openClip(ClipShape{160, 120, 6, 2});  // one frame per 500 ms
    videoCapStart();
    ASSERT_NE(videoGetImage(), nullptr);
    EXPECT_EQ(videoGetImage(), nullptr);
    videoSetPacing(false);
    Clock::time_point start = Clock::now();
    EXPECT_EQ(readIndices(4), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_LT(msSince(start), 400.0) << "fast mode must not wait for the file's rate";
    videoSetPacing(true);
    EXPECT_EQ(videoGetImage(), nullptr) << "paced again from where it stands";
}
