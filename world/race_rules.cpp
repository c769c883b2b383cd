#include "world/race_rules.h"

#include <cmath>

bool carReachesCheckpoint(const Car& car, const Checkpoint& checkpoint)
{
    const float dx = static_cast<float>(std::fabs(car.position.x - checkpoint.centre.x));
    const float dy = static_cast<float>(std::fabs(car.position.y - checkpoint.centre.y));
    if (dx < checkpoint.size.x * 0.5 && dy < checkpoint.size.y * 0.5) {
        return true;
    }
    return dx * dx + dy * dy < 2 * (car.radius * car.radius);
}

static Checkpoint* dueCheckpoint(World& world)
{
    // Widened so that a checkpoint numbered INT32_MAX cannot overflow the sum.
    const int64_t wanted = int64_t{world.lastCheckpoint} + 1;
    for (Checkpoint& checkpoint : world.checkpoints) {
        if (!checkpoint.passed && checkpoint.number == wanted) {
            return &checkpoint;
        }
    }
    return nullptr;
}

static void completeLap(World& world, int64_t nowSeconds)
{
    for (Checkpoint& checkpoint : world.checkpoints) {
        checkpoint.passed = false;
    }
    world.lastLapTime = static_cast<int32_t>(nowSeconds - world.lapStartTime);
    if (world.bestLapTime == 0 || world.lastLapTime < world.bestLapTime) {
        world.bestLapTime = world.lastLapTime;
    }
    world.playerLap += 1;
    world.lastCheckpoint = -1;
}

bool stepLapRules(World& world, int64_t nowSeconds)
{
    Checkpoint* due = dueCheckpoint(world);
    if (due == nullptr) {
        completeLap(world, nowSeconds);
        return true;
    }
    if (!carReachesCheckpoint(world.player, *due)) {
        return false;
    }
    due->passed = true;
    world.lastCheckpoint = due->number;
    if (due->number == 0) {
        world.lapStartTime = nowSeconds;
    }
    return true;
}

RaceState raceStateOf(const World& world)
{
    if (world.playerLap == kWinningLap) {
        return RaceState::Won;
    }
    if (int64_t{world.opponentLaps} + 1 == kWinningLap) {
        return RaceState::Lost;
    }
    return RaceState::Race;
}

const char* raceStateName(RaceState state)
{
    switch (state) {
    case RaceState::Won:
        return "won";
    case RaceState::Lost:
        return "lost";
    case RaceState::Race:
        break;
    }
    return "race";
}
