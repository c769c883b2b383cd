#include <gtest/gtest.h>

#include <cmath>

#include "synth_fixture.h"
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

}  // namespace
