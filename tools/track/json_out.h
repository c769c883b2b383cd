// Writing one image's detection result as a JSON line.
#pragma once

#include <string>
#include <vector>

#include "tracking/marker.h"
#include "tracking/mat.h"

struct MarkerReport {
    DetectedMarker marker;
    bool hasPose = false;
    double pose[3][4] = {};
    double poseError = 0.0;
};

// How the last image was binarised: the level used, or per-tile levels.
struct ThresholdReport {
    bool automatic = false;
    bool local = false;
    int level = 100;
};

// The mat's pose in one image, when a mat was given.
struct MatReport {
    bool found = false;
    MatPose pose;
    std::vector<int> ids;  // pattern ids of the markers fitted
};

// Numbers carry 10 significant digits; NaN and infinity print as null.
// `refined`: whether every identified marker of the image had its sides re-located.
std::string imageResultJson(const std::string& path, int width, int height, double ms, const ThresholdReport& threshold,
                            bool refined, const std::vector<MarkerReport>& markers,
                            const MatReport* mat = nullptr);
