#include "autodrive_options.h"

#include "command_line_glue.h"
#include "tool_output.h"

std::optional<int> readAutodriveOptions(int argc, char** argv, AutodriveOptions& options)
{
    CLI::App app{"Drives the player round the scene's checkpoints and writes the held keys, one line per step.",
                 "rovanta-autodrive"};
    setUpCommandLine(app);
    app.add_option("--out", options.outPath, "key file to write")->type_name("FILE")->required();
    app.add_option("--scene", options.scenePath, "scene to race on (default Scene.txt)")->type_name("FILE");
    addWholeNumber(app, "--laps", options.laps, 1, 9, "laps to complete, 1..9 (default 1; 9 wins the race)");
    addNumber(app, "--target-speed", options.targetSpeed, {0.0, 40.0, true},
              "speed to hold in world units per step, (0, 40] (default 1)");
    addWholeNumber(app, "--max-steps", options.maxSteps, 1, 10000000, "give up after N steps (default 100000)");
    app.callback([&options] {
        const std::string problem = outputProblem(options.outPath, {options.scenePath}, "the key script");
        if (!problem.empty()) throw CLI::ValidationError(problem);
    });
    return parseCommandLine(app, argc, argv);
}
