#pragma once

#include "world/world.h"

#include <cstdint>
#include <string>

// One line of JSON describing the world after a step. Numbers carry 17
// significant digits; JSON has no NaN or infinity, so those print as null.
std::string stepJson(int64_t step, const World& world);
