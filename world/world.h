#pragma once

#include "world/records.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Capacities of the scene's text values, terminating zero included.
inline constexpr std::size_t kVideoConfigCapacity = 1024;
inline constexpr std::size_t kPathCapacity = 256;
inline constexpr std::size_t kModelPathCapacity = 1024;

struct World {
    std::vector<Box> boxes;
    std::vector<Checkpoint> checkpoints;
    std::vector<CollisionBox> collisionBoxes;
    std::vector<RoutePoint> route;
    std::vector<PickedPoint> pickedPoints;
    Car player;
    Car opponent;
    bool opponentPresent = false;
    std::string videoConfig;
    std::string videoLine;  // where the configuration came from, "Scene.txt:2: VIDEO clip.avi"
    std::string cameraParamPath;
    std::string patternPath;
    std::string playerTexturePath;
    std::string opponentTexturePath;
    int32_t opponentLaps = 0;
    int32_t lastCheckpoint = -1;
    int32_t routeIndex = 0;
    int32_t lastRouteIndex = 0;
    int32_t playerLap = 1;
    bool raceStarted = false;
    int32_t bestLapTime = 0;  // 0 means no lap completed yet
    int32_t lastLapTime = 0;
    int64_t lapStartTime = 0;
};

// The one world of the running game.
extern World theWorld;

void resetWorld(World& world);
void resetWorld();
