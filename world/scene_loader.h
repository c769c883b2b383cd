#pragma once

#include "world/world.h"

#include <functional>
#include <string>

// Called at each MODEL line with the car the line belongs to. Without one the
// car's 3DS model is loaded from the path; tests pass their own to observe.
using ModelLoader = std::function<void(Car& car, const char* path)>;

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
};

// Reads the scene into the world. On the first failing line it stops and
// keeps everything read before it; the race state is set only by a complete
// read (a file that ends right after the player's MASS line is complete and
// has no opponent).
SceneLoadResult loadScene(World& world, const std::string& path, const ModelLoader& loadModel = {});

// The video configuration handed to the capture layer for a VIDEO token (a
// file name with its &, ", < and > escaped); empty when it does not fit.
std::string videoConfigFor(const std::string& token);
