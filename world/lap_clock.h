#pragma once

#include <cstdint>

// The game's lap clock: the wall clock in whole seconds since the epoch.
// The simulation functions take the reading as an argument so that tests
// and tools can drive time themselves.
int64_t wallClockSeconds();
