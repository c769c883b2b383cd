#pragma once
// The demo table written as the game's scene file.
#include <string>

#include "tools/demovideo/demo_table.h"

std::string sceneText(const DemoTable& table);
