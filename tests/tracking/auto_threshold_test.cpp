#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "synth_fixture.h"
#include "tracking/auto_threshold.h"
#include "tracking/frame_grid.h"
#include "tracking/frame_levels.h"
#include "tracking/labeling.h"
#include "tracking/local_levels.h"
#include "tracking/marker_levels.h"
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
// marker is gone does not forget that way. A global level that found the marker off the middle
// between its border and the light around it is moved there and kept, whatever the user's shift.
TEST_F(AutoThreshold, KeepsTheWayThatFoundTheMarkerAndShiftsEveryLevelWithTheThreshold) {
    struct Case {
        LightCondition light;
        unsigned seed;
        int threshold;
        bool local;
    } cases[] = {{LightCondition::Dim, 700, kDefaultThreshold, false},
                 {LightCondition::Gradient, 700, kDefaultThreshold, true},
                 {LightCondition::Normal, 700, 40, false},
                 {LightCondition::Normal, 700, kDefaultThreshold, false}};
    SynthFrame empty = render(LightCondition::Normal, 700);
    std::fill(empty.bgrx.begin(), empty.bgrx.end(), uint8_t{100});
    empty.idealCorners.clear();  // no marker to find there
    std::vector<int> normalLevels;
    for (const Case& c : cases) {
        const std::string name = std::string(lightConditionName(c.light)) + " " + std::to_string(c.threshold);
        SynthFrame frame = render(c.light, c.seed);
        if (c.light != LightCondition::Normal) {
            ASSERT_FALSE(detect(frame, false).found) << name;
        }
        // A frame that shows nothing under a way leaves the rest of the plan to the next frame.
        ASSERT_TRUE(detect(frame, true, c.threshold).found || detectAgain(frame, true, c.threshold).found) << name;
        const AutoThresholdStatus first = autoThresholdStatus();
        EXPECT_EQ(first.local, c.local) << name;
        for (const SynthFrame* next : {&frame, &empty, &frame}) {
            const bool markerInView = next == &frame;
            EXPECT_EQ(detectAgain(*next, true, c.threshold).found, markerInView) << name;
            const AutoThresholdStatus now = autoThresholdStatus();
            EXPECT_TRUE(!markerInView || now.attempts == 1) << name;
            EXPECT_EQ(now.local, first.local) << name;
            EXPECT_TRUE(first.local || now.level == first.level) << name;
        }
        if (c.light == LightCondition::Normal) normalLevels.push_back(first.level + c.threshold - kDefaultThreshold);
    }
    EXPECT_EQ(normalLevels[0], normalLevels[1]);
    // Shifted far enough, every level the search tries darkens all of the frame, or none of it.
    SynthFrame dim = render(LightCondition::Dim, 711);
    EXPECT_FALSE(detect(dim, true, kDefaultThreshold + 255).found);
    EXPECT_FALSE(detect(dim, true, kDefaultThreshold - 255).found);
}

// Every grid point is the mean channel sum of its run of pixels, at every step and for any count
// of points (the last ones of a row taken one at a time).
TEST(FrameGrid, PointsHoldTheMeanChannelSumOfTheirRun) {
    const int width = 301, height = 40;
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 4);
    std::mt19937 random(21);
    for (uint8_t& byte : frame) byte = static_cast<uint8_t>(random());
    for (int step : {1, 2, 4, 8}) {
        FrameGrid grid;
        const int x0 = 3, y0 = 1, columns = (width - x0) / step, rows = (height - y0) / step;
        sampleFrameGrid(frame.data(), width, x0, y0, step, columns, rows, &grid);
        int wrong = 0;
        for (int gy = 0; gy < rows; gy++)
            for (int gx = 0; gx < columns; gx++) {
                const uint8_t* p = &frame[((y0 + step * gy + step / 2) * width + x0 + step * gx) * 4];
                int sum = 0;
                for (int k = 0; k < 4 * step; k++) sum += k % 4 == 3 ? 0 : p[k];
                wrong += grid.sums[gy * columns + gx] != sum / step;
            }
        EXPECT_EQ(wrong, 0) << step;
    }
}

// Each tile's limit comes from the darkest and brightest points of it and its eight neighbours,
// for tiles of every size, whole or cut by the image's edge.
TEST(LocalLevels, LimitsFollowTheExtremesAroundEachTile) {
    const int width = 203, height = 37;
    std::vector<uint16_t> sums(static_cast<size_t>(width) * height);
    std::mt19937 random(21);
    for (uint16_t& sum : sums) sum = static_cast<uint16_t>(random() % 766);
    LocalLevelRule rule;
    rule.minContrast = 700, rule.flatLimit = -1;
    for (int tile : {2, 4, 8, 16}) {
        rule.tileSize = tile;
        ThresholdMap map;
        buildLocalLevels(sums.data(), width, height, rule, &map);
        int wrong = 0;
        for (int r = 0; r < map.rows; r++)
            for (int c = 0; c < map.columns; c++) {
                int darkest = 765, brightest = 0;
                for (int y = std::max(0, (r - 1) * tile); y < std::min(height, (r + 2) * tile); y++)
                    for (int x = std::max(0, (c - 1) * tile); x < std::min(width, (c + 2) * tile); x++)
                        darkest = std::min<int>(darkest, sums[y * width + x]), brightest = std::max<int>(brightest, sums[y * width + x]);
                const int expected = brightest - darkest < 700 ? -1 : std::min(darkest + (brightest - darkest) / 5,
                                                                                static_cast<int>(std::sqrt((darkest + 6.0) * (brightest + 6))) - 6);
                wrong += map.limits[r * map.columns + c] != expected;
            }
        EXPECT_EQ(wrong, 0) << tile;
    }
}

// The per-tile labeling of a sampled frame agrees with the global one where the map is even, and
// between tile centres its limits run straight from one centre's limit to the next.
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
    for (int step : {1, 2}) {
        FrameGrid grid;
        sampleFrameGrid(frame.bgrx.data(), 320, 0, 0, step, 320 / step, 240 / step, &grid);
        for (int tile : {4, 16})
            for (int level : {40, 100, 170}) {
                LabelResult global, local;
                ASSERT_NE(labelSums(grid.sums.data(), grid.width, grid.height, 3 * level, 1 << 20, &global), nullptr);
                std::vector<Label> expected(global.labelImage, global.labelImage + grid.sums.size());
                ThresholdMap map;
                map.resize(grid.width, grid.height, tile);
                for (int& limit : map.limits) limit = 3 * level;
                ASSERT_NE(labelSumsLocal(grid.sums.data(), grid.width, grid.height, map, 1 << 20, &local), nullptr);
                EXPECT_TRUE(std::equal(expected.begin(), expected.end(), local.labelImage)) << step << " " << tile;
            }
    }
    for (int tile : {4, 16}) {
        ThresholdMap ramp;
        ramp.resize(320, 240, tile);
        for (int r = 0; r < ramp.rows; r++)
            for (int c = 0; c < ramp.columns; c++) ramp.limits[r * ramp.columns + c] = tile * c + 2 * tile * r;
        // Tile centres lie at tile * (k + 1/2) - 1/2; between them the limit grows by 1/2 per point
        // across (rounded down) and 1 per point down, flat beyond the outermost centres.
        const int y = 55;
        std::vector<uint16_t> at(320), above(320);
        std::vector<uint8_t> dark(320);
        for (int x = 0; x < 320; x++) {
            const int limit = (2 * y + 1 - tile) + std::clamp(2 * x + 1 - tile, 0, 2 * tile * (ramp.columns - 1)) / 2;
            at[x] = static_cast<uint16_t>(limit), above[x] = static_cast<uint16_t>(limit + 1);
        }
        ramp.markDarkRow(y, at.data(), dark.data());
        EXPECT_EQ(std::count(dark.begin(), dark.end(), 1), 320) << tile;
        ramp.markDarkRow(y, above.data(), dark.data());
        EXPECT_EQ(std::count(dark.begin(), dark.end(), 0), 320) << tile;
    }
}

// A shadow's edge (or a steep gradient) across the marker: the fine tiles split its border, a second
// look at the place with wider tiles finds it in the first frame, and the frames after it keep it.
TEST_F(AutoThreshold, FindsAMarkerWhoseBorderTheLightSplitsAtTheFirstLook) {
    for (const auto& [light, seed] :
         {std::pair{LightCondition::ShadowEdge, 1025u}, std::pair{LightCondition::Gradient, 837u}}) {
        SynthFrame frame = render(light, seed);
        for (int k = 0; k < 2; k++) {
            LightScore score = k == 0 ? detect(frame, true) : detectAgain(frame, true);
            EXPECT_TRUE(score.found) << lightConditionName(light) << " frame " << k;
            EXPECT_EQ(score.falseIds, 0) << lightConditionName(light) << " frame " << k;
            EXPECT_TRUE(autoThresholdStatus().local) << lightConditionName(light) << " frame " << k;
        }
    }
}

// Isolated specks over most of the frame, between the marker's border and the table in brightness:
// a labeling at a level that darkens them fails (too many regions), which rules out that way only;
// a level below them still finds the marker.
TEST_F(AutoThreshold, ALabelingThatFailsRulesOutOnlyItsOwnWay) {
    SynthFrame frame = render(LightCondition::Normal, 700);
    double x0 = 640, y0 = 480, x1 = 0, y1 = 0;
    for (int k = 0; k < 4; k++) {
        x0 = std::min(x0, frame.observedCorners[0][2 * k]), x1 = std::max(x1, frame.observedCorners[0][2 * k]);
        y0 = std::min(y0, frame.observedCorners[0][2 * k + 1]), y1 = std::max(y1, frame.observedCorners[0][2 * k + 1]);
    }
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            const bool nearMarker = x > x0 - 30 && x < x1 + 30 && y > y0 - 30 && y < y1 + 30;
            if (!nearMarker && x % 4 < 2 && y % 4 < 2) std::fill_n(&frame.bgrx[(y * 640 + x) * 4], 3, uint8_t{100});
        }
    LightScore score = detect(frame, true, 110);
    EXPECT_TRUE(score.found);
    EXPECT_GT(autoThresholdStatus().attempts, 1);
}

// Where a global level belongs for a found marker: its border's level is taken near the brightest
// of the border (a gradient across the marker), the light's near the darkest around it.
TEST(MarkerLevels, BorderNearItsBrightestAndLightNearItsDarkest) {
    const CameraIntrinsics camera = pinholeCamera(200, 200);
    ASSERT_EQ(setTrackerCameraParams(&camera), 0);
    std::vector<uint8_t> frame(200 * 200 * 4);
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 200; x++) {
            const bool inside = x >= 50 && x < 150 && y >= 50 && y < 150;
            const int level = inside ? 10 + 80 * (x - 50) / 100 : 120 + 80 * x / 200;
            std::fill_n(&frame[(y * 200 + x) * 4], 3, static_cast<uint8_t>(level));
        }
    DetectedMarker marker{};
    marker.id = 0, marker.confidence = 1.0;
    const double corners[4][2] = {{50, 50}, {150, 50}, {150, 150}, {50, 150}};
    std::copy(&corners[0][0], &corners[0][0] + 8, &marker.corners[0][0]);
    int dark, light;
    ASSERT_TRUE(measureMarkerLevels(frame.data(), &marker, 1, &dark, &light));
    EXPECT_GE(dark, 70);
    EXPECT_LE(dark, 90);
    EXPECT_GE(light, 130);
    EXPECT_LE(light, 145);
}

// A histogram valley counts when its peaks stand a few times above its bottom, not only when it is
// nearly empty; a shallow dip is no valley.
TEST(FrameLevels, ValleysAFewTimesLowerThanTheirPeaksCount) {
    for (const auto& [bottom, counts] : {std::pair{0, true}, std::pair{200, true}, std::pair{700, false}}) {
        LevelHistogram h;
        for (int v = 0; v < 256; v++) h.bins[v] = std::abs(v - 40) <= 8 || std::abs(v - 150) <= 8 ? 1000 : v > 48 && v < 142 ? bottom : 0;
        for (int v : h.bins) h.total += v;
        const std::vector<int> levels = valleyLevels(h, 3);
        ASSERT_EQ(levels.size(), counts ? 1u : 0u) << bottom;
        if (counts) {
            EXPECT_TRUE(levels[0] > 48 && levels[0] < 142) << bottom << ": " << levels[0];
        }
    }
}

}  // namespace
