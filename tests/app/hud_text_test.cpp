#include "app/hud_text.h"

#include <gtest/gtest.h>

namespace {

TEST(HudLines, StartOfRaceReadsLapOneAndZeroTimes) {
    HudValues v;
    v.checkpointCount = 5;
    v.lastCheckpoint = 0;
    const auto lines = hudLines(v);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].text, "Opponent Lap 1 / 10");
    EXPECT_EQ(lines[0].offsetFromTop, 60);
    EXPECT_EQ(lines[1].text, "Lap 1 / 10");
    EXPECT_EQ(lines[2].text, "Speed 0.00 m/s");
    EXPECT_EQ(lines[3].text, "Checkpoint 1/5");
    EXPECT_EQ(lines[4].text, "Best Time 0 s");
    EXPECT_EQ(lines[5].text, "Last Time 0 s");
    EXPECT_EQ(lines[5].offsetFromTop, 10);
}

TEST(HudLines, DebugModeAddsTheFrameRateOnTop) {
    HudValues v;
    v.debugMode = true;
    v.framesPerSecond = 29.97f;
    v.playerSpeed = 2.345678;
    v.opponentLaps = 8;
    v.bestLapTime = 61;
    const auto lines = hudLines(v);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0].text, "FPS 29.97 (frame/sec)");
    EXPECT_EQ(lines[0].offsetFromTop, 70);
    EXPECT_EQ(lines[1].text, "Opponent Lap 9 / 10");
    EXPECT_EQ(lines[3].text, "Speed 2.35 m/s");
    EXPECT_EQ(lines[5].text, "Best Time 61 s");
}

TEST(HudLines, LargestCountersPrintWithoutOverflow) {
    HudValues v;
    v.lastCheckpoint = 2147483647;
    v.checkpointCount = 1;
    v.opponentLaps = 2147483647;
    const auto lines = hudLines(v);
    EXPECT_EQ(lines[0].text, "Opponent Lap 2147483648 / 10");
    EXPECT_EQ(lines[3].text, "Checkpoint 2147483648/1");
}

TEST(HudLines, SpeedIsRoundedToFloatBeforePrinting) {
    HudValues v;
    v.playerSpeed = 0.034999999;  // prints 0.03 as a double, but the float rounds up
    EXPECT_EQ(hudLines(v)[2].text, "Speed 0.04 m/s");
}

TEST(FramesPerSecond, UpdatesOnlyAfterMoreThanASecond) {
    FpsMeter meter;
    int frames = 0;
    EXPECT_EQ(updateFramesPerSecond(meter, 5000, frames), 0.0f);
    frames = 30;
    EXPECT_EQ(updateFramesPerSecond(meter, 6000, frames), 0.0f);  // exactly 1000 ms: not yet
    EXPECT_EQ(frames, 30);
    EXPECT_NEAR(updateFramesPerSecond(meter, 6001, frames), 29.97f, 0.005f);
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(meter.windowStart, 6001);
}

}  // namespace
