#include "sim_options.h"

#include "command_line_glue.h"

#include <limits>

std::optional<int> readSimOptions(int argc, char** argv, SimOptions& options)
{
    CLI::App app{"The race without camera or window: prints the world after every step as one JSON line.",
                 "rovanta-sim"};
    setUpCommandLine(app);
    app.add_option("-s", options.scenePath, "scene file (default Scene.txt)")->type_name("SCENE");
    app.add_option("--keys", options.keysPath, "keys held per step, one line per step: LEFT UP RIGHT DOWN")
        ->type_name("FILE");
    addWholeNumber(app, "--steps", options.steps, 0, std::numeric_limits<int64_t>::max(),
                   "number of steps (default: lines of the key file, else 100)");
    addNumber(app, "--seconds-per-step", options.secondsPerStep, {0.0, std::numeric_limits<double>::max()},
              "lap clock advance per step (default 1/30)");
    return parseCommandLine(app, argc, argv);
}
