#include "world/world.h"

World theWorld;

void resetWorld(World& world) { world = World{}; }

void resetWorld() { resetWorld(theWorld); }
