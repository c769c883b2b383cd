#include "drive.h"

#include "world/world_step.h"

static bool goalMet(const World& world, const DriveGoal& goal)
{
    return world.playerLap - 1 >= goal.laps || raceStateOf(world) != RaceState::Race;
}

DriveOutcome driveRace(World& world, const DriverSettings& settings, const DriveGoal& goal,
                       std::vector<KeyTable>& script)
{
    DriveOutcome outcome;
    while (outcome.steps < goal.maxSteps && !goalMet(world, goal)) {
        const KeyTable keys = chooseKeys(world, settings);
        stepWorld(world, keys, outcome.steps / kStepsPerSecond);
        script.push_back(keys);
        ++outcome.steps;
    }
    outcome.goalReached = goalMet(world, goal);
    outcome.state = raceStateOf(world);
    return outcome;
}
