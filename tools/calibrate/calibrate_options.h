#pragma once
// Command line of rovanta-calibrate.

#include <optional>
#include <string>
#include <vector>

struct CalibrateOptions {
    int cols = 0, rows = 0;  // inner corners of the board
    double square = 0.0;     // side of one square, in scene units (millimetres when printing)
    std::string out;
    std::string video;
    int every = 10;  // with --video: every n-th frame is a view
    std::string printBoard;
    std::vector<std::string> images;
};

// Nothing when the tool should go on; otherwise the exit status (0 after
// --help, 2 after a usage error, whose reason went to standard error).
std::optional<int> parseCalibrateOptions(int argc, char** argv, CalibrateOptions* options);
