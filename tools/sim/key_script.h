#pragma once

#include "world/keys.h"

#include <string>
#include <vector>

// The arrow keys held during each step, one entry per line of a key file.
struct KeyScript {
    std::vector<KeyTable> steps;
};

// Lines hold LEFT, UP, RIGHT, DOWN (any case) separated by spaces or commas;
// an empty line holds no key. Returns false with file:line and the cause.
bool loadKeyScript(const std::string& path, KeyScript& script, std::string& error);
bool parseKeyLine(const std::string& line, KeyTable& keys, std::string& badToken);

// Keys of a step; after the last line no key is held.
KeyTable keysForStep(const KeyScript& script, std::size_t stepIndex);
