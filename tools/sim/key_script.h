#pragma once

#include "world/keys.h"

#include <cstdint>
#include <string>
#include <vector>

// The arrow keys held during each step, one entry per line of a key file: a
// bit per key, so that the longest file allowed takes no more memory than its
// own size.
struct KeyScript {
    std::vector<uint8_t> steps;
};

// Lines hold LEFT, UP, RIGHT, DOWN (any case) separated by spaces or commas;
// an empty line holds no key. Returns false with file:line and the cause.
bool loadKeyScript(const std::string& path, KeyScript& script, std::string& error);
bool parseKeyLine(const std::string& line, KeyTable& keys, std::string& badToken);

// Keys of a step; after the last line no key is held.
KeyTable keysForStep(const KeyScript& script, std::size_t stepIndex);
