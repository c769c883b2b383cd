#pragma once

#include <cstdint>
#include <string>

struct SimOptions {
    std::string scenePath = "Scene.txt";
    std::string keysPath;  // empty: no key script
    int64_t steps = -1;    // -1: from the key script, or 100 without one
    double secondsPerStep = 1.0 / 30.0;
    bool showHelp = false;
};

inline constexpr int64_t kDefaultSteps = 100;

extern const char kSimUsage[];

// Returns false with a reason for an unknown option or a bad value.
bool parseSimOptions(int argc, char** argv, SimOptions& options, std::string& error);
