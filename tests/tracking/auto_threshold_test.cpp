#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "synth_fixture.h"
#include "tracking/auto_threshold.h"
#include "tracking/labeling.h"
#include "tracking/threshold_map.h"

namespace {

class AutoThreshold : public ::testing::Test {
  protected:
    SynthPicture picture = defaultMarkerPicture(), other = secondMarkerPicture();
    CameraIntrinsics camera = makeWebcamIntrinsics(640, 480);

    void SetUp() override { ASSERT_EQ(installCameraAndDefaultPattern(camera, picture), 0); }

    void useFrameSize(int width, int height) {
        camera = makeWebcamIntrinsics(width, height);
        ASSERT_EQ(installCameraAndDefaultPattern(camera, picture), 0);
    }
    SynthFrame render(LightCondition condition, unsigned seed) {
        LightCase c = makeLightCase(condition, camera, seed);
        c.options.supersample = 1;
        SynthMarker markers[2];
        markers[0].picture = &picture;
        markers[1].picture = &other;
        std::memcpy(markers[0].pose, c.pose, sizeof c.pose);
        std::memcpy(markers[1].pose, c.distractorPose, sizeof c.pose);
        SynthFrame frame;
        EXPECT_EQ(renderSynthFrame(camera, markers, c.hasDistractor ? 2 : 1, c.options, &frame), 0);
        return frame;
    }
    // Each frame met cold, as when the marker has just come into view.
    LightScore detect(const SynthFrame& frame, bool automatic, int threshold = kDefaultThreshold) {
        resetMarkerHistory();
        resetAutoThreshold();
        return detectAgain(frame, automatic, threshold);
    }
    // The next frame of a run: the history and the kept binarisation stay.
    LightScore detectAgain(const SynthFrame& frame, bool automatic, int threshold = kDefaultThreshold) {
        DetectedMarker* list;
        int count;
        int status = automatic ? detectMarkersAuto(frame.bgrx.data(), threshold, &list, &count)
                               : detectMarkers(frame.bgrx.data(), threshold, &list, &count);
        EXPECT_EQ(status, 0);
        return scoreDetection(list, count, frame, 0, 4.0);
    }
};

TEST_F(AutoThreshold, FindsMarkersUnderHardLightWithoutFalseIdsAndLosesNoneInNormalLight) {
    const LightCondition hard[] = {LightCondition::Dim, LightCondition::OverExposed, LightCondition::Gradient,
                                   LightCondition::ShadowEdge};
    int frames = 0, found = 0, fixedFound = 0;
    for (LightCondition light : hard)
        for (unsigned seed = 700; seed < 705; seed++) {
            SynthFrame frame = render(light, seed);
            LightScore automatic = detect(frame, true);
            EXPECT_EQ(automatic.falseIds, 0) << lightConditionName(light) << " " << seed;
            frames++, found += automatic.found, fixedFound += detect(frame, false).found;
        }
    EXPECT_GE(found, 0.92 * frames);
    EXPECT_LT(fixedFound, found);
    for (unsigned seed = 700; seed < 706; seed++) {
        SynthFrame frame = render(LightCondition::Normal, seed);
        LightScore fixed = detect(frame, false), automatic = detect(frame, true);
        EXPECT_EQ(automatic.falseIds, 0) << seed;
        EXPECT_TRUE(automatic.found || !fixed.found) << "normal light, seed " << seed;
    }
}

// Webcam HD frames: a dim room (a global level from the histogram) and a steep gradient (per-tile
// levels, with the larger tiles of wide frames).
TEST_F(AutoThreshold, FindsMarkersInHdFramesInADimRoomAndUnderAGradient) {
    for (const auto& [width, height] : {std::pair{1280, 720}, std::pair{1920, 1080}}) {
        useFrameSize(width, height);
        for (LightCondition light : {LightCondition::Dim, LightCondition::Gradient})
            for (unsigned seed = 720; seed < 722; seed++) {
                LightScore automatic = detect(render(light, seed), true);
                EXPECT_TRUE(automatic.found) << width << " " << lightConditionName(light) << " " << seed;
                EXPECT_EQ(automatic.falseIds, 0) << width << " " << lightConditionName(light) << " " << seed;
            }
    }
}

// Once a search has found the marker, the next frames are labelled once, the way that found it
// (a global level in a dim room, per-tile levels under a steep gradient), and a frame where the
// marker is gone does not forget that way.
TEST_F(AutoThreshold, KeepsTheWayThatFoundTheMarkerAndShiftsEveryLevelWithTheThreshold) {
    struct Case {
        LightCondition light;
        unsigned seed;
        bool local;
    } cases[] = {{LightCondition::Dim, 711, false}, {LightCondition::Gradient, 700, true}};
    SynthFrame empty = render(LightCondition::Normal, 700);
    std::fill(empty.bgrx.begin(), empty.bgrx.end(), uint8_t{200});
    for (const Case& c : cases) {
        const char* name = lightConditionName(c.light);
        SynthFrame frame = render(c.light, c.seed);
        ASSERT_FALSE(detect(frame, false).found) << name;
        ASSERT_TRUE(detect(frame, true).found) << name;
        const AutoThresholdStatus first = autoThresholdStatus();
        EXPECT_GT(first.attempts, 1) << name;  // the plain threshold does not find it
        EXPECT_EQ(first.local, c.local) << name;
        for (const SynthFrame* next : {&frame, &empty, &frame}) {
            const bool markerInView = next == &frame;
            EXPECT_EQ(detectAgain(*next, true).found, markerInView) << name;
            const AutoThresholdStatus now = autoThresholdStatus();
            EXPECT_TRUE(!markerInView || now.attempts == 1) << name;
            EXPECT_EQ(now.local, first.local) << name;
            EXPECT_TRUE(first.local || now.level == first.level) << name;
        }
    }
    // Shifted far enough, every level the search tries darkens all of the frame, or none of it.
    SynthFrame dim = render(LightCondition::Dim, 711);
    EXPECT_FALSE(detect(dim, true, kDefaultThreshold + 255).found);
    EXPECT_FALSE(detect(dim, true, kDefaultThreshold - 255).found);
}

// The per-tile labeling agrees with the global one where the map is even, and between tile
// centres its limits run straight from one centre's limit to the next.
TEST(ThresholdMapLabeling, EvenMapsLabelLikeTheGlobalLevelAndLimitsRunBetweenCentres) {
    SynthPicture picture = defaultMarkerPicture();
    SynthMarker marker;
    marker.picture = &picture;
    makeMarkerPose(400, 30, 10, 20, 0, 0, marker.pose);
    CameraIntrinsics camera = makeWebcamIntrinsics(320, 240);
    SynthOptions options;
    options.supersample = 1;
    options.noiseSigma = 3;
    SynthFrame frame;
    ASSERT_EQ(renderSynthFrame(camera, &marker, 1, options, &frame), 0);
    ASSERT_EQ(setTrackerCameraParams(&camera), 0);
    for (int level : {40, 100, 170}) {
        int count, *areas, *boxes, *table;
        double* centroids;
        Label* global = labelImage(frame.bgrx.data(), level, &count, &areas, &centroids, &boxes, &table);
        std::vector<Label> expected(global, global + 320 * 240);
        ThresholdMap map;
        map.resize(320, 240, 16);
        for (int& limit : map.limits) limit = 3 * level;
        Label* local = labelImageLocal(frame.bgrx.data(), map, &count, &areas, &centroids, &boxes, &table);
        ASSERT_NE(local, nullptr);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), local)) << level;
    }
    ThresholdMap ramp;
    ramp.resize(320, 240, 16);
    for (int r = 0; r < ramp.rows; r++)
        for (int c = 0; c < ramp.columns; c++) ramp.limits[r * ramp.columns + c] = 32 * c + 64 * r;
    // Tile centres lie at 16 k + 7.5. Pixel row 55 is 15.5/16 of the way from tile row 2 to 3, which
    // gives 190 at the first column's centre; across, 32 per 16 pixels, flat beyond the outer centres.
    std::vector<int> row(320);
    ramp.rowLimits(55, row.data());
    for (int x = 0; x < 320; x++) EXPECT_EQ(row[x], std::clamp(2 * x + 175, 190, 32 * 19 + 190)) << x;
}

}  // namespace
