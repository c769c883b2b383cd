#include "app/screen_state.h"

#include <gtest/gtest.h>

namespace {

TEST(ScreenState, PrecedenceIsTitleThenWonThenLost) {
    EXPECT_EQ(screenStateOf(true, 10, 9), ScreenState::Title);
    EXPECT_EQ(screenStateOf(false, 10, 9), ScreenState::Won);
    EXPECT_EQ(screenStateOf(false, 9, 9), ScreenState::Lost);
    EXPECT_EQ(screenStateOf(false, 9, 8), ScreenState::Race);
    EXPECT_EQ(screenStateOf(false, 1, 0), ScreenState::Race);
    // Only the exact lap counts end the race.
    EXPECT_EQ(screenStateOf(false, 11, 0), ScreenState::Race);
}

DetectedMarker marker(int id, double confidence) {
    DetectedMarker m{};
    m.id = id;
    m.confidence = confidence;
    return m;
}

TEST(ChooseMarker, TakesTheMostConfidentOfTheScenesPattern) {
    const DetectedMarker equal[] = {marker(0, 0.7), marker(0, 0.7)};
    EXPECT_EQ(chooseMarker(equal, 2, 0), 0);
    const DetectedMarker rising[] = {marker(0, 0.6), marker(0, 0.8)};
    EXPECT_EQ(chooseMarker(rising, 2, 0), 1);
    const DetectedMarker mixed[] = {marker(1, 0.99), marker(-1, 0.0), marker(0, 0.5), marker(1, 0.9)};
    EXPECT_EQ(chooseMarker(mixed, 4, 0), 2);
    EXPECT_EQ(chooseMarker(mixed, 4, 1), 0);
    EXPECT_EQ(chooseMarker(mixed, 4, 2), -1);
    EXPECT_EQ(chooseMarker(mixed, 0, 1), -1);
}

}  // namespace
