#pragma once

#include "world/world.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Called at each MODEL line with the car the line belongs to. Without one the
// car's 3DS model is loaded from the path; tests pass their own to observe.
using ModelLoader = std::function<void(Car& car, const char* path)>;

// Where one counted section (BOXES, COLLISION-BOXES, CHECKPOINTS) sits in the
// text, so that an editor can change its count and add entries after its last
// one while every other character stays as written.
struct SceneSectionPlace {
    int32_t count = 0;
    std::size_t countBegin = 0;  // the count as written, e.g. "3" or "+03"
    std::size_t countEnd = 0;
    std::size_t end = 0;  // just after the last entry's last character (the count's, with none)
};

struct SceneLayout {
    std::string text;  // the file as read
    SceneSectionPlace boxes, collisionBoxes, checkpoints;
};

struct SceneLoadResult {
    bool opened = false;    // the file could be opened and read
    bool complete = false;  // every line was read and the race state was set
    std::string reason;     // why loading stopped, e.g. Scene.txt:14: expected "SCALE %f %f %f"
    // The first line with a value a race cannot use: a negative count, e.g.
    // Scene.txt:5: expected "BOXES %d" with a count of 0 or more, not -7 (it
    // reads as no entries), or a number that is not finite, e.g. Scene.txt:9:
    // expected "RADIUS %f" with finite numbers, not inf. Loading goes on as
    // it always has; loadRaceScene refuses the scene for it.
    std::string refusedValue;
    SceneLayout layout;  // filled as far as the file was read
};

// Reads the scene into the world. On the first failing line it stops and
// keeps everything read before it; the race state is set only by a complete
// read (a file that ends right after the player's MASS line is complete and
// has no opponent).
SceneLoadResult loadScene(World& world, const std::string& path, const ModelLoader& loadModel = {});

// The video configuration handed to the capture layer for a VIDEO token (a
// file name with its &, ", < and > escaped); empty when it does not fit.
std::string videoConfigFor(const std::string& token);
