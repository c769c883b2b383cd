// Command line of rovanta-track.
#pragma once

#include <string>
#include <vector>

struct TrackOptions {
    std::string camera;
    std::vector<std::string> patterns;
    int threshold = 100;
    bool fixedThreshold = false;  // the threshold binarises every image; otherwise it shifts the automatic levels
    double markerWidth = 80.0;
    int repeat = 1;
    std::vector<std::string> images;
};

// Returns false with a one-line reason in `error`; `help` is set for --help.
bool parseTrackOptions(int argc, char** argv, TrackOptions* options, bool* help, std::string* error);
extern const char* const kTrackUsage;
