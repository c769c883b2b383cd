// The tracker follows the marker through the whole demo video, and the poses
// it finds agree with the poses the video was rendered from.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/video/video.h"
#include "common/demo_poses.h"
#include "tracking/camera.h"
#include "tracking/marker.h"
#include "tracking/pattern.h"
#include "tracking/pose.h"
#include "world/scene_loader.h"

namespace {

const std::string kDemoDir = ROVANTA_DEMO_DIR;

using Pose = DemoPose;


double rotationErrorDegrees(const double found[3][4], const Pose& truth) {
    // Angle of found * truth^T.
    double trace = 0;
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) trace += found[i][k] * truth[i * 4 + k];
    const double c = std::clamp((trace - 1) / 2, -1.0, 1.0);
    return std::acos(c) * 180.0 / 3.141592653589793;
}

double translationErrorShare(const double found[3][4], const Pose& truth) {
    double diff = 0, length = 0;
    for (int i = 0; i < 3; ++i) {
        diff += (found[i][3] - truth[i * 4 + 3]) * (found[i][3] - truth[i * 4 + 3]);
        length += truth[i * 4 + 3] * truth[i * 4 + 3];
    }
    return std::sqrt(diff / length);
}

struct Figures {
    int frames = 0, found = 0;
    std::vector<double> rotation, translation;
};

double percentile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(q * (v.size() - 1))];
}

TEST(DemoVideo, EveryFrameIsTrackedCloseToTheTruePose) {
    const std::vector<Pose> poses = readDemoPoses(kDemoDir + "/video/demo_poses.txt");
    ASSERT_GT(poses.size(), 100u);
    CameraIntrinsics fileParam, camera;
    ASSERT_EQ(loadCameraParams((kDemoDir + "/camera/camera_para.dat").c_str(), 1, &fileParam), 0);
    clearPatterns();
    const int patternId = loadPattern((kDemoDir + "/marker/marker.patt").c_str());
    ASSERT_GE(patternId, 0);

    videoSetPacing(false);
    ASSERT_EQ(videoOpen(videoConfigFor(kDemoDir + "/video/demo.avi").c_str()), 0);
    int width = 0, height = 0;
    ASSERT_EQ(videoInqSize(&width, &height), 0);
    ASSERT_EQ(resizeCameraParams(&fileParam, width, height, &camera), 0);
    ASSERT_EQ(setTrackerCameraParams(&camera), 0);
    videoCapStart();
    resetMarkerHistory();

    Figures f;
    for (const Pose& truth : poses) {
        unsigned char* frame = videoGetImage();
        ASSERT_NE(frame, nullptr);
        ++f.frames;
        DetectedMarker* markers = nullptr;
        int count = 0;
        ASSERT_EQ(detectMarkers(frame, 100, &markers, &count), 0);
        videoCapNext();
        const DetectedMarker* best = nullptr;
        for (int i = 0; i < count; ++i)
            if (markers[i].id == patternId && (!best || markers[i].confidence > best->confidence))
                best = &markers[i];
        if (!best) continue;
        ++f.found;
        const double centre[2] = {0, 0};
        double transform[3][4] = {};
        estimateMarkerPose(best, centre, 80.0, transform);
        f.rotation.push_back(rotationErrorDegrees(transform, truth));
        f.translation.push_back(translationErrorShare(transform, truth));
    }
    videoClose();

    std::printf("demo video: %d of %d frames tracked; rotation error median %.3f deg, 95%% %.3f, max %.3f; "
                "translation error median %.4f%%, 95%% %.4f%%, max %.4f%%\n",
                f.found, f.frames, percentile(f.rotation, 0.5), percentile(f.rotation, 0.95),
                percentile(f.rotation, 1.0), 100 * percentile(f.translation, 0.5),
                100 * percentile(f.translation, 0.95), 100 * percentile(f.translation, 1.0));
    EXPECT_GE(f.found, f.frames * 99 / 100);
    EXPECT_LT(percentile(f.rotation, 0.95), 5.0);  // the marker is only 60-80 px wide in this video
    EXPECT_LT(percentile(f.translation, 0.95), 0.02);
}

}  // namespace
