#pragma once

#include <cstdint>
#include <string>

struct AutodriveOptions {
    std::string scenePath = "Scene.txt";
    std::string outPath;  // required
    int laps = 1;
    double targetSpeed = 1.0;
    int64_t maxSteps = 100000;
    bool showHelp = false;
};

extern const char kAutodriveUsage[];

// Returns false with a reason for an unknown option, a missing --out or a
// value out of range (laps 1..9, target speed above 0 and at most 40,
// max steps 1..10000000).
bool parseAutodriveOptions(int argc, char** argv, AutodriveOptions& options, std::string& error);
