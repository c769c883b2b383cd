// Writing one image's detection result as a JSON line.
#pragma once

#include <string>
#include <vector>

#include "tracking/marker.h"

struct MarkerReport {
    DetectedMarker marker;
    bool hasPose = false;
    double pose[3][4] = {};
    double poseError = 0.0;
};

std::string jsonString(const std::string& text);
std::string jsonNumber(double value);
std::string imageResultJson(const std::string& path, int width, int height, double ms, bool refined,
                            const std::vector<MarkerReport>& markers);
