#pragma once

#include <cstdint>

// Lap clock of the headless race: starts at 0 and advances by secondsPerStep
// per step; step k (from 1) reads the time before it ran, in whole seconds.
// A tolerance of 1e-9 s keeps 30 steps of 1/30 s at exactly one second.
int64_t simClockSeconds(int64_t step, double secondsPerStep);
