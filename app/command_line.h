#pragma once
// The game's classic command-line options: "-debug", "-s SCENE", "-about"
// (the others are in app/game_options.h).
#include <string>

inline constexpr size_t kMaxScenePathLength = 255;

struct CommandLine {
    bool debugMode = false;
    bool showAbout = false;
    std::string scenePath = "Scene.txt";
    std::string error;  // non-empty when the arguments cannot be used
};

// Every argument, the program name included, is compared with each
// single-dash option by the option's own length, so "-debugging" counts as
// "-debug".
CommandLine parseCommandLine(int argc, const char* const* argv);

// The about text, shown for "-about".
const char* aboutText();
