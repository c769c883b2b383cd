#pragma once
// One world step per drawn frame, then the world in the marker's frame:
// occluders into depth only, debug aids, the cars.
#include "world/world.h"

void updateAndDrawWorld(bool debugMode);
void drawCar(Car& car);

template <typename Record>
void drawSolidBox(const Record& box);
template <typename Record>
void drawWireBox(const Record& box);
void drawPointLabel(float x, float y, float z);
