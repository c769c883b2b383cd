#pragma once
// The demo table written as the game's scene file and the mat file it names.
#include <string>

#include "tools/demovideo/demo_table.h"

std::string sceneText(const DemoTable& table);
std::string matText(const DemoTable& table);
