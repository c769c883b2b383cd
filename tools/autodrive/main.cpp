// Writes a key script for a scene: a simple driver races the world headless,
// step by step as the game would, and its held keys become the script.
#include "autodrive_options.h"
#include "drive.h"
#include "key_writer.h"

#include "world/race_setup.h"
#include "world/scene_check.h"

#include <cstdio>

static int fail(const std::string& reason)
{
    std::fprintf(stderr, "rovanta-autodrive: %s\n", reason.c_str());
    return 1;
}

int main(int argc, char** argv)
{
    AutodriveOptions options;
    if (const std::optional<int> status = readAutodriveOptions(argc, argv, options)) {
        return *status;
    }
    std::string error;
    World& world = theWorld;
    // The driver needs no car models; skipping them keeps the tool quick.
    const ModelLoader skipModels = [](Car&, const char*) {};
    if (!loadRaceScene(world, options.scenePath, skipModels, error)) {
        return fail(error);
    }
    placeCarsForRace(world);
    DriverSettings settings;
    settings.targetSpeed = options.targetSpeed;
    std::vector<KeyTable> script;
    const DriveOutcome outcome = driveRace(world, settings, DriveGoal{options.laps, options.maxSteps}, script);
    std::printf("steps %lld, state %s, playerLap %d, opponentLaps %d\n", static_cast<long long>(outcome.steps),
                raceStateName(outcome.state), world.playerLap, world.opponentLaps);
    if (!outcome.goalReached) {
        return fail("the driver did not finish " + std::to_string(options.laps) + " laps in " +
                    std::to_string(options.maxSteps) + " steps; no key file written");
    }
    return writeKeyScript(options.outPath, script, error) ? 0 : fail(error);
}
