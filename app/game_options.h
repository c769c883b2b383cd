#pragma once
// The game's options beyond the classic "-debug", "-s SCENE" and "-about"
// (app/command_line.h). They are read with CLI11 beside the classic parser:
// both see every argument and each ignores what it does not know, so the
// classic options keep their prefix matching and unknown arguments stay
// harmless. A bad value for one of these options is a usage error (status 2).
//
// Adding an option: a field in GameOptions and one line in addGameOptions, e.g.
//     app.add_flag("--mirror", o.mirror, "mirror the camera image");
//     addWholeNumber(app, "--camera-fps", o.cameraFps, 1, 240, "camera frame rate");
// The option then also answers to one dash ("-mirror"), like the classic ones.
// Give it a long name only, and none that begins with "s", "debug" or
// "about": the classic parser would claim "-scale" as "-s" and take the next
// argument for the scene (the tests check both rules).
#include <optional>
#include <string>
#include <vector>

#include "app/camera_options.h"

namespace CLI {
class App;
}

struct GameOptions {
    CameraOptions camera;
    bool demo = false;            // run in the demo folder, wherever the game was started
    bool fixedThreshold = false;  // the one global threshold instead of automatic thresholding
    bool exact = false;           // marker pose straight from detection, without sub-pixel refinement
    bool live = false;            // the camera instead of the scene's video
    std::string cameraFile;       // the camera's parameter file instead of the scene's
};

// Puts the game's extra options on `app`.
void addGameOptions(CLI::App& app, GameOptions& options);

// The whole command line the game reads with CLI11: its help and version,
// the extra options, and every other argument let through.
void setUpGameCommandLine(CLI::App& app, GameOptions& options);

// Reads the extra options from the whole command line. Returns the status to
// end with when the game should not start: 0 after --help or --version,
// 2 after a bad value for an extra option.
std::optional<int> readGameOptions(int argc, const char* const* argv, GameOptions& options);

// The arguments with "-name" written "--name" wherever `app` has a long
// option "--name" other than help and version (those keep two dashes, so
// that "-help" stays an ignored argument as before).
std::vector<std::string> withLongSpellings(const CLI::App& app, const std::vector<std::string>& arguments);
