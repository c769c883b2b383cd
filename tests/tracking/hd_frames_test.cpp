#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "synth_fixture.h"
#include "tracking/auto_threshold.h"
#include "tracking/pose.h"

namespace {

// Webcam frames beyond the 1,048,576 pixels the tracker once took, with markers near and far: the
// near one at 1920 x 1080 covers more than the 100000 pixels allowed in smaller frames.
TEST(HdFrames, MarkersAreFoundAndPosedNearAndFar) {
    const SynthPicture picture = defaultMarkerPicture();
    struct Case {
        int width, height;
        double distance;
        int smallestArea;
    } cases[] = {{1280, 720, 600, 15000}, {1920, 1080, 330, 120000}, {1920, 1080, 1500, 5000}};
    for (const Case& c : cases) {
        CameraIntrinsics camera = makeWebcamIntrinsics(c.width, c.height);
        ASSERT_EQ(installCameraAndDefaultPattern(camera, picture), 0) << c.width;
        SynthMarker marker;
        marker.picture = &picture;
        makeMarkerPose(c.distance, 30, 10, 20, 20, -10, marker.pose);
        SynthOptions options;
        options.supersample = 1;
        options.noiseSigma = 2.0;
        SynthFrame frame;
        ASSERT_EQ(renderSynthFrame(camera, &marker, 1, options, &frame), 0);
        DetectedMarker* list;
        int count;
        ASSERT_EQ(detectMarkers(frame.bgrx.data(), 100, &list, &count), 0);
        ASSERT_EQ(count, 1) << c.width << " at " << c.distance;
        EXPECT_EQ(list[0].id, 0);
        EXPECT_GT(list[0].area, c.smallestArea);
        for (int j = 0; j < 4; j++) {
            int k = (j + list[0].orientation) % 4;
            EXPECT_NEAR(list[0].corners[j][0], frame.idealCorners[0][2 * k], 1.5) << c.width << " corner " << j;
            EXPECT_NEAR(list[0].corners[j][1], frame.idealCorners[0][2 * k + 1], 1.5) << c.width << " corner " << j;
        }
        double transform[3][4];
        const double centre[2] = {0, 0};
        ASSERT_GE(estimateMarkerPose(&list[0], centre, 80.0, transform), 0.0);
        for (int r = 0; r < 3; r++) EXPECT_NEAR(transform[r][3], marker.pose[r][3], 0.015 * c.distance) << c.width;
    }
}

// An 8K frame (a 1080p view enlarged four times, so the sizes agree exactly) with a marker over 2500
// pixels wide: its outline is longer than the 10000 points a smaller frame needs, and the area
// limit accepts it, so both the fixed threshold and the automatic search find it where it is.
TEST(HdFrames, MarkerWiderThan2500PixelsIsFoundIn8K) {
    const SynthPicture picture = defaultMarkerPicture();
    const CameraIntrinsics small = pinholeCamera(1920, 1080);
    SynthMarker marker;
    marker.picture = &picture;
    makeMarkerPose(200, 25, 10, 20, 0, 0, marker.pose);
    SynthOptions options;
    options.supersample = 1;
    SynthFrame view;
    ASSERT_EQ(renderSynthFrame(small, &marker, 1, options, &view), 0);
    constexpr int kScale = 4, width = 1920 * kScale, height = 1080 * kScale;
    // Pixel x of the small view covers pixels 4x .. 4x + 3: its centre is at 4x + 1.5.
    CameraIntrinsics camera = small;
    camera.width = width, camera.height = height;
    for (int r = 0; r < 2; r++)
        for (int c = 0; c < 3; c++) camera.projection[r][c] = kScale * small.projection[r][c] + 1.5 * small.projection[2][c];
    camera.distortion[0] = kScale * small.distortion[0] + 1.5, camera.distortion[1] = kScale * small.distortion[1] + 1.5;
    ASSERT_EQ(installCameraAndDefaultPattern(camera, picture), 0);
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            std::copy_n(&view.bgrx[(static_cast<size_t>(y / kScale) * 1920 + x / kScale) * 4], 4,
                        &frame[(static_cast<size_t>(y) * width + x) * 4]);
    for (bool automatic : {false, true}) {
        resetMarkerHistory();
        resetAutoThreshold();
        DetectedMarker* list;
        int count;
        ASSERT_EQ(automatic ? detectMarkersAuto(frame.data(), 100, &list, &count) : detectMarkers(frame.data(), 100, &list, &count), 0);
        ASSERT_EQ(count, 1) << automatic;
        EXPECT_EQ(list[0].id, 0) << automatic;
        const std::vector<double>& ideal = view.idealCorners[0];
        EXPECT_GT(std::hypot(ideal[2] - ideal[0], ideal[3] - ideal[1]) * kScale, 2500);
        // The region's centre (a ring seen at a tilt: near the corners' mean), whose coordinate sums run past 32 bits.
        EXPECT_NEAR(list[0].center[0], kScale * (ideal[0] + ideal[2] + ideal[4] + ideal[6]) / 4 + 1.5, 120) << automatic;
        EXPECT_NEAR(list[0].center[1], kScale * (ideal[1] + ideal[3] + ideal[5] + ideal[7]) / 4 + 1.5, 120) << automatic;
        for (int j = 0; j < 4 && !automatic; j++) {
            const int k = (j + list[0].orientation) % 4;
            EXPECT_NEAR(list[0].corners[j][0], kScale * ideal[2 * k] + 1.5, 4.0) << "corner " << j;
            EXPECT_NEAR(list[0].corners[j][1], kScale * ideal[2 * k + 1] + 1.5, 4.0) << "corner " << j;
        }
    }
}

}  // namespace
