// Shared set-up for tests that render frames with the synthetic camera.
#pragma once

#include <cstdio>
#include <string>

#include "common/scratch_dir.h"
#include "synthcam.h"
#include "tracking/marker.h"

inline std::string tempPath(const std::string& name) { return scratchPath(name); }

// Installs `camera`, clears patterns and history, and loads the default marker as pattern 0.
inline int installCameraAndDefaultPattern(const CameraIntrinsics& camera, const SynthPicture& picture) {
    if (setTrackerCameraParams(&camera) < 0) return -1;
    clearPatterns();
    resetMarkerHistory();
    uint8_t values[kPatternFileValues];
    makePatternValues(picture, values);
    std::string path = tempPath("default.patt");
    if (savePatternFile(path.c_str(), values) < 0) return -1;
    int id = loadPattern(path.c_str());
    std::remove(path.c_str());
    return id;
}

inline CameraIntrinsics pinholeCamera(int width, int height) {
    CameraIntrinsics cam = makeWebcamIntrinsics(width, height);
    cam.distortion[2] = 0.0;
    return cam;
}
