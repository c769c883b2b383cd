#pragma once

#include "world/world.h"

inline constexpr float kOpponentTurnThreshold = 5.0f;

// Turns the opponent towards its next route point (always to its left, by the
// unsigned angle) and moves it straight at that point by the current speed.
void stepOpponent(World& world);
