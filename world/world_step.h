#pragma once

#include "world/keys.h"
#include "world/world.h"

#include <cstdint>

// One simulation step as the game runs it per drawn frame: controls always;
// lap rules, player physics and the opponent only once the race has started.
void stepWorld(World& world, const KeyTable& keys, int64_t nowSeconds);
