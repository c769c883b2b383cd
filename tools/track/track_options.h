// Command line of rovanta-track.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct TrackOptions {
    std::string camera;
    std::vector<std::string> patterns;
    std::string mat;  // a mat file: its pose is reported as well
    int threshold = 100;
    bool fixedThreshold = false;  // the threshold binarises every image; otherwise it shifts the automatic levels
    double markerWidth = 80.0;
    int repeat = 1;
    bool exact = false;  // corners and poses without sub-pixel refinement
    std::vector<std::string> images;
};

// Reads the command line into `options`. Returns the status to end with when
// the tool should stop here (help, version, or a usage error).
std::optional<int> readTrackOptions(int argc, char** argv, TrackOptions* options);
