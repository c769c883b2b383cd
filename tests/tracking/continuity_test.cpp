#include <gtest/gtest.h>

#include "tracking/marker.h"

namespace {

DetectedMarker square(double cx, double cy, int id, int orientation, double confidence, int shift = 0) {
    DetectedMarker m{};
    m.area = 1600;
    m.id = id;
    m.orientation = orientation;
    m.confidence = confidence;
    m.center[0] = cx;
    m.center[1] = cy;
    const double offsets[4][2] = {{-20, -20}, {20, -20}, {20, 20}, {-20, 20}};
    for (int k = 0; k < 4; k++) {
        m.corners[k][0] = cx + offsets[(k + shift) % 4][0];
        m.corners[k][1] = cy + offsets[(k + shift) % 4][1];
    }
    return m;
}

class MarkerHistory : public ::testing::Test {
  protected:
    DetectedMarker list[kMaxDetectedMarkers];
    void SetUp() override { resetMarkerHistory(); }
    int frame(std::initializer_list<DetectedMarker> markers) {
        int n = 0;
        for (const DetectedMarker& m : markers) list[n++] = m;
        return applyMarkerHistory(list, n, kMaxDetectedMarkers);
    }
};

TEST_F(MarkerHistory, WeakMatchKeepsTheEarlierIdentityAndVanishedMarkersLingerTwoFrames) {
    ASSERT_EQ(frame({square(100, 100, 0, 1, 0.8)}), 1);
    ASSERT_EQ(frame({square(102, 101, -1, 3, 0.4)}), 1);
    EXPECT_EQ(list[0].id, 0);
    EXPECT_EQ(list[0].confidence, 0.8);
    EXPECT_EQ(list[0].orientation, 1);
    EXPECT_EQ(list[0].center[0], 102);

    ASSERT_EQ(frame({}), 1);  // vanished: the remembered copy is listed
    EXPECT_EQ(list[0].id, 0);
    EXPECT_EQ(list[0].center[0], 102);
    ASSERT_EQ(frame({}), 1);
    EXPECT_EQ(frame({}), 0);  // third frame without it: forgotten
}

TEST_F(MarkerHistory, InheritedOrientationFollowsTheCornerShift) {
    frame({square(100, 100, 0, 1, 0.9)});
    // Same square, corners numbered from one place further on: the remembered corner 3 (where
    // orientation 1 puts the picture's first corner) is now corner 2, so orientation 2.
    frame({square(100, 100, 0, 3, 0.6, 1)});
    EXPECT_EQ(list[0].orientation, 2);
    EXPECT_EQ(list[0].confidence, 0.9);
}

TEST_F(MarkerHistory, StrongerCurrentMatchAndLowConfidenceUnidentified) {
    frame({square(100, 100, 0, 1, 0.6)});
    frame({square(100, 100, 0, 2, 0.9)});
    EXPECT_EQ(list[0].orientation, 2);
    EXPECT_EQ(list[0].confidence, 0.9);

    resetMarkerHistory();
    ASSERT_EQ(frame({square(300, 300, 1, 0, 0.45)}), 1);
    EXPECT_EQ(list[0].id, -1);
    EXPECT_EQ(frame({}), 0);  // unidentified markers are not remembered
}

TEST_F(MarkerHistory, FarOrDifferentlySizedMarkersDoNotMatch) {
    frame({square(100, 100, 0, 0, 0.9)});
    DetectedMarker moved = square(160, 100, -1, 0, 0.3);  // 60^2 / 1600 = 2.25, not < 0.5
    DetectedMarker bigger = square(100, 100, -1, 0, 0.3);
    bigger.area = 2300;  // ratio 1600 / 2300 < 0.7
    ASSERT_EQ(frame({moved, bigger}), 3);
    EXPECT_EQ(list[0].id, -1);
    EXPECT_EQ(list[1].id, -1);
    EXPECT_EQ(list[2].id, 0);  // the remembered one, appended

    resetMarkerHistory();
    frame({square(100, 100, 0, 0, 0.9)});
    DetectedMarker edge = square(100, 100, -1, 0, 0.3);
    edge.area = 1120;  // ratio 1600 / 1120 = 1.4286: inside the inclusive limit
    ASSERT_EQ(frame({edge}), 1);
    EXPECT_EQ(list[0].id, 0);
}

TEST_F(MarkerHistory, OneEntryPerIdAndAppendingStopsAtCapacity) {
    frame({square(100, 100, 0, 0, 0.9), square(300, 100, 0, 0, 0.7)});
    // Both had id 0; the history keeps only the last one written.
    ASSERT_EQ(frame({}), 1);
    EXPECT_EQ(list[0].center[0], 300);

    resetMarkerHistory();
    frame({square(100, 100, 0, 0, 0.9), square(300, 100, 1, 0, 0.9), square(500, 100, 2, 0, 0.9)});
    int n = 0;
    list[n++] = square(700, 300, -1, 0, 0.1);
    EXPECT_EQ(applyMarkerHistory(list, n, 2), 2);
}

}  // namespace
