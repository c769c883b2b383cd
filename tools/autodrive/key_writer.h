#pragma once

#include "world/keys.h"

#include <string>
#include <vector>

// The held arrow keys as one line of a key file: the names LEFT, UP, RIGHT,
// DOWN in that order separated by spaces; empty when no key is held.
std::string keyLine(const KeyTable& keys);

// One line per step; false with the cause when the file cannot be written.
bool writeKeyScript(const std::string& path, const std::vector<KeyTable>& script, std::string& error);
