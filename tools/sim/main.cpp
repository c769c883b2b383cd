// Headless race: runs the world step without camera or window and prints
// the state after every step as one JSON line.
#include "key_script.h"
#include "sim_clock.h"
#include "sim_options.h"
#include "step_json.h"

#include "world/race_rules.h"
#include "world/race_setup.h"
#include "world/scene_check.h"
#include "world/world_step.h"

#include <cstdio>

static int fail(const std::string& reason, int status)
{
    std::fprintf(stderr, "rovanta-sim: %s\n", reason.c_str());
    return status;
}

static int64_t stepCount(const SimOptions& options, const KeyScript& script)
{
    if (options.steps >= 0) {
        return options.steps;
    }
    return options.keysPath.empty() ? kDefaultSteps : static_cast<int64_t>(script.steps.size());
}

static void runRace(World& world, const KeyScript& script, int64_t steps, double secondsPerStep)
{
    for (int64_t step = 1; step <= steps; ++step) {
        const KeyTable keys = keysForStep(script, static_cast<std::size_t>(step - 1));
        stepWorld(world, keys, simClockSeconds(step, secondsPerStep));
        std::printf("%s\n", stepJson(step, world).c_str());
        if (raceStateOf(world) != RaceState::Race) {
            break;
        }
    }
}

int main(int argc, char** argv)
{
    SimOptions options;
    if (const std::optional<int> status = readSimOptions(argc, argv, options)) {
        return *status;
    }
    std::string error;
    KeyScript script;
    if (!options.keysPath.empty() && !loadKeyScript(options.keysPath, script, error)) {
        return fail(error, 1);
    }
    World& world = theWorld;
    if (!loadRaceScene(world, options.scenePath, {}, error)) {
        return fail(error, 1);
    }
    placeCarsForRace(world);
    runRace(world, script, stepCount(options, script), options.secondsPerStep);
    return 0;
}
