#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct AutodriveOptions {
    std::string scenePath = "Scene.txt";
    std::string outPath;  // required
    int laps = 1;
    double targetSpeed = 1.0;
    int64_t maxSteps = 100000;
};

// Reads the command line into `options`. Returns the status to end with when
// the tool should stop here (help, version, or a usage error such as a missing
// --out or a value out of range).
std::optional<int> readAutodriveOptions(int argc, char** argv, AutodriveOptions& options);
