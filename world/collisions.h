#pragma once

#include "world/records.h"
#include "world/world.h"

// True when the car's sphere overlaps the axis-aligned box (touching is no hit).
bool sphereHitsBox(const Vec3& centre, const Vec3& size, const Car& car);

template <typename BoxRecord>
bool sphereHitsBox(const BoxRecord& box, const Car& car)
{
    return sphereHitsBox(box.centre, box.size, car);
}

// Puts the player back to start with zero velocity on any hit of the boxes,
// the collision boxes or the opponent's box; returns whether anything was hit.
bool resolvePlayerCollisions(World& world, const Vec3& start);
