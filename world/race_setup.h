#pragma once

#include "world/world.h"

// The part of getting the cars ready that needs no graphics: the first lap
// starts as if the lowest-numbered checkpoint had been passed, and the
// opponent is put on the first point of its route. Lists that are empty are
// left alone (a checked scene never has them empty).
void placeCarsForRace(World& world);
