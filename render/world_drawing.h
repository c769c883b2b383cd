#pragma once
// The world's steps due for this frame, then the world in the marker's frame:
// occluders into depth only, debug aids, the cars.
#include "world/world.h"

// Steps stop early once the race is won or lost.
void updateAndDrawWorld(bool debugMode, int steps = 1);
void drawCar(Car& car);

template <typename Record>
void drawSolidBox(const Record& box);
template <typename Record>
void drawWireBox(const Record& box);
void drawPointLabel(float x, float y, float z);
