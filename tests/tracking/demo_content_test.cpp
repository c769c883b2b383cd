#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "common/scratch_dir.h"
#include "image_file.h"
#include "synthcam.h"
#include "common/scratch_dir.h"
#include "tool_runner.h"
#include "tracking/marker.h"
#include "tracking/pose.h"

namespace {

const std::string kDemo = ROVANTA_DEMO_DIR;

TEST(DemoContent, CommittedMarkerAndCameraAreDetectedTogether) {
    CameraIntrinsics camera;
    ASSERT_EQ(loadCameraParams((kDemo + "/camera/camera_para.dat").c_str(), 1, &camera), 0);
    EXPECT_EQ(camera.width, 640);
    EXPECT_EQ(camera.height, 480);
    EXPECT_GT(camera.distortion[2], 0.0);  // barrel
    CameraIntrinsics resized;
    ASSERT_EQ(resizeCameraParams(&camera, 640, 480, &resized), 0);
    ASSERT_EQ(setTrackerCameraParams(&resized), 0);

    clearPatterns();
    resetMarkerHistory();
    ASSERT_EQ(loadPattern((kDemo + "/marker/marker.patt").c_str()), 0);

    RgbPicture printed;
    std::string error;
    ASSERT_TRUE(readImageFile(kDemo + "/marker/marker.ppm", &printed, &error)) << error;
    ASSERT_EQ(printed.width, printed.height);
    SynthPicture picture{printed.width, printed.rgb};

    for (int turn = 0; turn < 4; turn++) {
        resetMarkerHistory();
        SynthMarker marker;
        marker.picture = &picture;
        makeMarkerPose(450, 40, -10, 90.0 * turn + 12, 30, 25, marker.pose);
        SynthFrame frame;
        SynthOptions options;
        options.noiseSigma = 3.0;
        ASSERT_EQ(renderSynthFrame(resized, &marker, 1, options, &frame), 0);
        DetectedMarker* list;
        int count;
        ASSERT_EQ(detectMarkers(frame.bgrx.data(), 100, &list, &count), 0);
        ASSERT_EQ(count, 1);
        EXPECT_EQ(list[0].id, 0);
        EXPECT_GT(list[0].confidence, 0.8);
        for (int j = 0; j < 4; j++) {
            int k = (j + list[0].orientation) % 4;
            EXPECT_NEAR(list[0].corners[j][0], frame.idealCorners[0][2 * k], 1.2) << turn;
            EXPECT_NEAR(list[0].corners[j][1], frame.idealCorners[0][2 * k + 1], 1.2) << turn;
        }
        double transform[3][4];
        const double centre[2] = {0, 0};
        ASSERT_GE(estimateMarkerPose(&list[0], centre, 80.0, transform), 0.0);
        for (int r = 0; r < 3; r++) EXPECT_NEAR(transform[r][3], marker.pose[r][3], 0.015 * 450) << turn;
    }
}

// The committed files are what the tools make today, so regenerating them changes nothing.
TEST(DemoContent, ToolsRegenerateTheCommittedFilesExactly) {
    std::string scratch = testScratchDir();
    ToolRun run = runTool(std::string(ROVANTA_MKPATT_BINARY) + " --default-marker " + scratch + "marker.ppm 256", scratch);
    ASSERT_EQ(run.status, 0) << run.err;
    run = runTool(std::string(ROVANTA_MKPATT_BINARY) + " " + scratch + "marker.ppm " + scratch + "marker.patt", scratch);
    ASSERT_EQ(run.status, 0) << run.err;
    run = runTool(std::string(ROVANTA_MKCAMERA_BINARY) + " " + scratch + "camera.dat", scratch);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readWholeFile(scratch + "marker.ppm"), readWholeFile(kDemo + "/marker/marker.ppm"));
    EXPECT_EQ(readWholeFile(scratch + "marker.patt"), readWholeFile(kDemo + "/marker/marker.patt"));
    EXPECT_EQ(readWholeFile(scratch + "camera.dat"), readWholeFile(kDemo + "/camera/camera_para.dat"));
    for (const char* name : {"marker.ppm", "marker.patt", "camera.dat"}) std::remove((scratch + name).c_str());

    run = runTool(std::string(ROVANTA_MKPATT_BINARY) + " " + kDemo + "/marker/README.txt " + scratch + "x.patt", scratch);
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("unsupported image format"), std::string::npos);
}

// A picture larger than any marker needs is refused from its header, before
// gigabytes are read.
TEST(DemoContent, PatternToolRefusesHugePicturesFromTheirHeader) {
    ScratchDir dir;
    const std::string huge = dir.write("huge.ppm", "P6\n30000 30000\n255\n" + std::string(100, '\0'));
    ToolRun run = runTool(std::string(ROVANTA_MKPATT_BINARY) + " " + huge + " " + dir.file("x.patt"), dir.file("run"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "rovanta-mkpatt: " + huge +
                           ": the picture is too large: 30000x30000 exceeds the capacity of 16777216 pixels\n");
}

}  // namespace

namespace {

TEST(DemoContent, PrintableBitmapShowsTheSameMarkerAsThePicture) {
    RgbPicture ppm, bmp;
    std::string error;
    ASSERT_TRUE(readImageFile(kDemo + "/marker/marker.ppm", &ppm, &error)) << error;
    ASSERT_TRUE(readImageFile(kDemo + "/marker/marker.bmp", &bmp, &error)) << error;
    EXPECT_EQ(bmp.width, ppm.width);
    EXPECT_EQ(bmp.height, ppm.height);
    EXPECT_EQ(bmp.rgb, ppm.rgb);
}

}  // namespace
