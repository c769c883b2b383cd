#include "app/game_options.h"

#include "command_line_glue.h"

namespace {

bool takesSingleDashSpelling(const CLI::App& app, const std::string& name) {
    if (name == "help" || name == "version") return false;
    const auto options = app.get_options([&name](const CLI::Option* o) { return o->check_lname(name); });
    return !options.empty();
}

std::string withLongSpelling(const CLI::App& app, const std::string& argument) {
    if (argument.size() < 3 || argument[0] != '-' || argument[1] == '-') return argument;
    const std::string name = argument.substr(1, argument.find('=') - 1);
    return takesSingleDashSpelling(app, name) ? "-" + argument : argument;
}

}  // namespace

// New options go here, one line each (see game_options.h).
void addGameOptions(CLI::App& app, GameOptions& options) {
    addCameraOptions(app, options.camera);
    app.add_flag("--demo", options.demo, "race on the bundled demo, wherever the game is started from");
    app.add_flag("--fixed-threshold", options.fixedThreshold,
                 "binarise every frame with the one threshold (100, changed by + and -)");
    app.add_flag("--exact", options.exact,
                 "marker pose straight from detection and the angle search, without sub-pixel refinement");
    app.add_flag("--live", options.live,
                 "race the scene through the camera instead of its video (with a typical webcam lens unless "
                 "--camera-file is given)");
    app.add_option("--camera-file", options.cameraFile,
                   "the camera's parameter file (from rovanta-calibrate) instead of the one the scene names")
        ->type_name("CAM");
}

std::vector<std::string> withLongSpellings(const CLI::App& app, const std::vector<std::string>& arguments) {
    std::vector<std::string> result;
    for (const std::string& argument : arguments) result.push_back(withLongSpelling(app, argument));
    return result;
}

void setUpGameCommandLine(CLI::App& app, GameOptions& options) {
    app.name("rovanta");
    app.description("Augmented-reality table-top car race.\n"
                    "  -debug       start in debug mode (P toggles it during the race)\n"
                    "  -s SCENE     scene file (default Scene.txt)\n"
                    "  -about       print the about text before starting");
    setUpCommandLine(app, "rovanta [-debug] [-s SCENE] [-about] [OPTIONS]");
    // One-letter options would catch classic words ("-h" is an ignored argument there).
    app.set_help_flag("--help", "Print this help and exit");
    app.allow_extras();
    addGameOptions(app, options);
}

std::optional<int> readGameOptions(int argc, const char* const* argv, GameOptions& options) {
    CLI::App app;
    setUpGameCommandLine(app, options);
    const std::vector<std::string> arguments =
        withLongSpellings(app, std::vector<std::string>(argv, argv + argc));
    std::vector<const char*> words;
    for (const std::string& argument : arguments) words.push_back(argument.c_str());
    return parseCommandLine(app, static_cast<int>(words.size()), words.data());
}
