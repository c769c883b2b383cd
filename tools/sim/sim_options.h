#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct SimOptions {
    std::string scenePath = "Scene.txt";
    std::string keysPath;  // empty: no key script
    int64_t steps = -1;    // -1: from the key script, or 100 without one
    double secondsPerStep = 1.0 / 30.0;
};

inline constexpr int64_t kDefaultSteps = 100;

// Reads the command line into `options`. Returns the status to end with when
// the tool should stop here (help, version, or a usage error).
std::optional<int> readSimOptions(int argc, char** argv, SimOptions& options);
