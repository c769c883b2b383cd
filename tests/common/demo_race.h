#pragma once
// The demo race as the game starts it: the scene loaded and checked, the cars on the grid.
#include <string>

#include "world/race_setup.h"
#include "world/scene_check.h"

inline bool loadDemoRace(World& world, const std::string& demoDir, std::string& reason) {
    if (!loadRaceScene(world, demoDir + "/Scene.txt", [](Car&, const char*) {}, reason)) return false;
    placeCarsForRace(world);
    return true;
}
