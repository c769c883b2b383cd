#pragma once

#include "driver.h"

#include "world/race_rules.h"

#include <cstdint>
#include <vector>

inline constexpr int64_t kStepsPerSecond = 60;  // a desktop's frame rate

struct DriveGoal {
    int laps = 1;             // laps the player is to complete
    int64_t maxSteps = 100000;  // give up after this many steps
};

struct DriveOutcome {
    bool goalReached = false;  // the laps were completed or the race ended
    int64_t steps = 0;
    RaceState state = RaceState::Race;
};

// Races the loaded world step by step as the game does (stepWorld), letting
// the driver choose each step's keys, and appends them to script. Stops when
// the player has completed the laps, when the race is won or lost, or after
// maxSteps. The lap clock reads simulated seconds at kStepsPerSecond.
DriveOutcome driveRace(World& world, const DriverSettings& settings, const DriveGoal& goal,
                       std::vector<KeyTable>& script);
