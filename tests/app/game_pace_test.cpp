// The game's timing and key handling that need no window: the world's steps
// at a fixed rate of wall time, and held arrow keys through auto-repeat.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/held_keys.h"
#include "app/step_pacer.h"

namespace {

constexpr int64_t kSecond = 1000000000;

// Steps over ten seconds of frames drawn every `frameNanoseconds`.
int64_t stepsOverTenSeconds(int64_t frameNanoseconds) {
    StepPacer pacer;
    int64_t steps = 0;
    for (int64_t now = 0; now <= 10 * kSecond; now += frameNanoseconds) steps += stepsDue(pacer, now);
    return steps;
}

TEST(StepPacer, SixtyStepsASecondWhateverTheFrameRate) {
    for (int64_t framesPerSecond : {20, 30, 59, 60, 75, 144, 500, 3000})
        EXPECT_NEAR(stepsOverTenSeconds(kSecond / framesPerSecond), 601, 1) << framesPerSecond;

    StepPacer pacer;
    EXPECT_EQ(stepsDue(pacer, 5 * kSecond), 1);                   // the first frame steps at once
    EXPECT_EQ(stepsDue(pacer, 5 * kSecond + kSecond / 61), 0);    // early: none
    EXPECT_EQ(stepsDue(pacer, 5 * kSecond + kSecond / 20), 3);    // late: the steps it is worth
    EXPECT_EQ(stepsDue(pacer, 9 * kSecond), kMaxStepsPerFrame);   // a stall is not made up
    EXPECT_EQ(stepsDue(pacer, 9 * kSecond + kSecond / 50), 1);
}

// Frames every 1/20 s with the world drawn ('W') or not ('-'): the steps each frame took.
std::vector<int> stepsPerFrame(const std::string& frames) {
    StepPacer pacer;
    std::vector<int> steps;
    int64_t now = 3 * kSecond;
    for (char f : frames) {
        steps.push_back(stepsForFrame(pacer, now, f == 'W'));
        now += kSecond / 20;
    }
    return steps;
}

TEST(StepPacer, AFrameWithoutTheWorldIsNotMadeUpLater) {
    // The first frame back after a loss of any length takes one step, the next ones their share.
    for (const std::string& frames : std::vector<std::string>{"WWW-WWW", "WW-----WW", "W" + std::string(200, '-') + "WW", "-W-W-W"}) {
        const std::vector<int> steps = stepsPerFrame(frames);
        for (size_t i = 0; i < frames.size(); i++) {
            const bool firstBack = frames[i] == 'W' && (i == 0 || frames[i - 1] == '-');
            const int expected = frames[i] == '-' ? 0 : firstBack ? 1 : 3;
            EXPECT_EQ(steps[i], expected) << frames << " frame " << i;
        }
    }
}

// Events of one batch are letters: P press, R release; '|' begins a frame.
bool upHeldAfter(const std::string& events) {
    KeyRepeatFilter filter;
    KeyTable keys;
    for (char e : events) {
        if (e == 'P') pressKey(filter, keys, kKeyUp);
        if (e == 'R') releaseKey(filter, kKeyUp);
        if (e == '|') settleReleases(filter, keys);
    }
    return isKeyHeld(keys, kKeyUp);
}

TEST(HeldKeys, AutoRepeatDoesNotLetGoOfAHeldKey) {
    EXPECT_TRUE(upHeldAfter("P"));
    EXPECT_TRUE(upHeldAfter("P|RP|RP|"));  // held: the keyboard repeats it
    EXPECT_TRUE(upHeldAfter("P|R"));      // let go, but the frame has not begun
    EXPECT_FALSE(upHeldAfter("P|R|"));
    EXPECT_FALSE(upHeldAfter("PR|"));
    EXPECT_TRUE(upHeldAfter("P|R|P"));

    KeyRepeatFilter filter;
    KeyTable keys;
    pressKey(filter, keys, 500);  // codes outside the table are ignored
    releaseKey(filter, -1);
    settleReleases(filter, keys);
    EXPECT_FALSE(isKeyHeld(keys, kKeyUp));
}

TEST(HeldKeys, ACharacterPressRightAfterItsReleaseIsARepeat) {
    KeyRepeatFilter filter;
    KeyTable keys;
    EXPECT_FALSE(isRepeatedPress(filter, 'p'));
    releaseCharacter(filter, 'p');
    EXPECT_TRUE(isRepeatedPress(filter, 'p'));  // same batch: the keyboard's repeat
    releaseCharacter(filter, 'p');
    settleReleases(filter, keys);
    EXPECT_FALSE(isRepeatedPress(filter, 'p'));  // pressed again a frame later
    releaseCharacter(filter, 'q');
    EXPECT_FALSE(isRepeatedPress(filter, 'p'));
}

}  // namespace
