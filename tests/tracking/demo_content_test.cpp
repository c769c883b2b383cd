#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "common/scratch_dir.h"
#include "image_file.h"
#include "synthcam.h"
#include "common/scratch_dir.h"
#include "tool_runner.h"
#include "tracking/marker.h"
#include "tracking/mat.h"

namespace {

const std::string kDemo = ROVANTA_DEMO_DIR;

// The picture printed for a mat marker: its pattern file's name with .ppm.
std::string pictureOf(const MatMarker& marker) {
    return marker.patternPath.substr(0, marker.patternPath.rfind('.')) + ".ppm";
}

// The whole mat seen from above, turned by quarter turns: every marker is
// found, told from the others and turned as the mat is.
TEST(DemoContent, CommittedMatMarkersAndCameraAreDetectedTogether) {
    CameraIntrinsics camera;
    ASSERT_EQ(loadCameraParams((kDemo + "/camera/camera_para.dat").c_str(), 1, &camera), 0);
    EXPECT_EQ(camera.width, 640);
    EXPECT_EQ(camera.height, 480);
    EXPECT_GT(camera.distortion[2], 0.0);  // barrel
    // Twice the size, so that the whole mat fits the picture when turned upright.
    CameraIntrinsics resized;
    ASSERT_EQ(resizeCameraParams(&camera, 1280, 960, &resized), 0);
    ASSERT_EQ(setTrackerCameraParams(&resized), 0);

    clearPatterns();
    Mat mat;
    std::string error;
    ASSERT_TRUE(loadMat((kDemo + "/mat.txt").c_str(), &mat, &error)) << error;
    ASSERT_GE(mat.markers.size(), 5u);
    std::vector<SynthPicture> pictures;
    for (const MatMarker& m : mat.markers) {
        RgbPicture printed;
        ASSERT_TRUE(readImageFile(pictureOf(m), &printed, &error)) << error;
        ASSERT_EQ(printed.width, printed.height);
        pictures.push_back({printed.width, printed.rgb});
    }

    for (int turn = 0; turn < 4; turn++) {
        double matPose[3][4];
        makeMarkerPose(1000, 25, -5, 90.0 * turn + 12, 0, 0, matPose);
        std::vector<SynthMarker> markers(mat.markers.size());
        for (size_t i = 0; i < markers.size(); ++i) {
            markers[i].picture = &pictures[i];
            markers[i].width = mat.markers[i].width;
            for (int r = 0; r < 3; r++) {
                for (int c = 0; c < 3; c++) markers[i].pose[r][c] = matPose[r][c];
                markers[i].pose[r][3] = matPose[r][0] * mat.markers[i].centre[0] +
                                        matPose[r][1] * mat.markers[i].centre[1] + matPose[r][3];
            }
        }
        SynthFrame frame;
        SynthOptions options;
        options.noiseSigma = 3.0;
        options.supersample = 1;
        options.blurPasses = 1;
        ASSERT_EQ(renderSynthFrame(resized, markers.data(), static_cast<int>(markers.size()), options, &frame), 0);
        resetMarkerHistory();
        DetectedMarker* list;
        int count;
        ASSERT_EQ(detectMarkers(frame.bgrx.data(), 100, &list, &count), 0);
        ASSERT_EQ(count, static_cast<int>(mat.markers.size())) << turn;
        for (int k = 0; k < count; k++) {
            const int i = matMarkerIndex(mat, list[k].id);
            ASSERT_GE(i, 0) << "turn " << turn << ": a marker not identified";
            EXPECT_GT(list[k].confidence, 0.7) << "turn " << turn << ", marker " << i;
            for (int j = 0; j < 4; j++) {
                const int c = (j + list[k].orientation) % 4;
                EXPECT_NEAR(list[k].corners[j][0], frame.idealCorners[i][2 * c], 1.5) << turn << " " << i;
                EXPECT_NEAR(list[k].corners[j][1], frame.idealCorners[i][2 * c + 1], 1.5) << turn << " " << i;
            }
        }
    }
}

// The tracker's correlation of two pattern files' templates, the first as
// printed, the second turned `turn` quarter turns.
double patternCorrelation(const std::string& a, const std::string& b, int turn) {
    auto centred = [](const std::string& path, int orientation) {
        std::istringstream values(readWholeFile(path));
        std::vector<double> v(kPatternCells * 4);
        for (double& x : v) values >> x;
        std::vector<double> t(v.begin() + orientation * kPatternCells, v.begin() + (orientation + 1) * kPatternCells);
        double mean = 0, norm = 0;
        for (double x : t) mean += (255 - x) / kPatternCells;
        for (double& x : t) {
            x = 255 - x - std::floor(mean);
            norm += x * x;
        }
        for (double& x : t) x /= std::sqrt(norm);
        return t;
    };
    const std::vector<double> u = centred(a, 0), w = centred(b, turn);
    double sum = 0;
    for (int k = 0; k < kPatternCells; k++) sum += u[k] * w[k];
    return sum;
}

// Far apart: no marker of the mat looks like another, or like itself turned.
TEST(DemoContent, MatPatternsAreFarApartInEveryQuarterTurn) {
    Mat mat;
    std::string error;
    ASSERT_TRUE(readMatFile((kDemo + "/mat.txt").c_str(), &mat, &error)) << error;
    double closest = -1;
    for (const MatMarker& a : mat.markers)
        for (const MatMarker& b : mat.markers)
            for (int turn = 0; turn < 4; turn++)
                if (&a != &b || turn != 0) closest = std::max(closest, patternCorrelation(a.patternPath, b.patternPath, turn));
    std::printf("largest correlation between two mat patterns or turns: %.3f\n", closest);
    EXPECT_LT(closest, 0.5);
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
    run = runTool(std::string(ROVANTA_MKMARKERS_BINARY) + " " + scratch, scratch);
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* name : {"mat1", "mat2", "mat3", "mat4"}) {
        const std::string picture = std::string(name) + ".ppm", pattern = std::string(name) + ".patt";
        run = runTool(std::string(ROVANTA_MKPATT_BINARY) + " " + scratch + picture + " " + scratch + pattern, scratch);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(readWholeFile(scratch + picture), readWholeFile(kDemo + "/marker/" + picture)) << picture;
        EXPECT_EQ(readWholeFile(scratch + pattern), readWholeFile(kDemo + "/marker/" + pattern)) << pattern;
    }

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
