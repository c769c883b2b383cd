#pragma once

#include "world/world.h"

#include <cstdint>

inline constexpr int32_t kWinningLap = 10;

// Tests the player against the checkpoint due next and completes laps.
// Returns false only when the due checkpoint was missed in this step.
bool stepLapRules(World& world, int64_t nowSeconds);

// True when the car's centre is inside the checkpoint's rectangle in the
// table plane, or close enough to it for the car's radius.
bool carReachesCheckpoint(const Car& car, const Checkpoint& checkpoint);

enum class RaceState { Race, Won, Lost };

// Won takes precedence over lost when both happen in the same step.
RaceState raceStateOf(const World& world);
const char* raceStateName(RaceState state);
