#pragma once
// The game's command-line options: "-debug", "-s SCENE", "-about", and beside them
// "-fixed-threshold" (or "--fixed-threshold").
#include <string>

inline constexpr size_t kMaxScenePathLength = 255;

struct CommandLine {
    bool debugMode = false;
    bool showAbout = false;
    bool fixedThreshold = false;  // the one global threshold instead of automatic thresholding
    std::string scenePath = "Scene.txt";
    std::string error;  // non-empty when the arguments cannot be used
};

// Every argument, the program name included, is compared with each option by
// the option's own length, so "-debugging" counts as "-debug"; "-fixed-threshold" and
// "--fixed-threshold" count only as they stand.
CommandLine parseCommandLine(int argc, const char* const* argv);

// The about text, shown for "-about".
const char* aboutText();
