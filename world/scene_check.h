#pragma once

#include "world/scene_loader.h"
#include "world/world.h"

#include <string>

// Why a completely read scene cannot be raced on; empty when it can.
std::string sceneProblem(const World& world, const std::string& path);

// Start-up's scene stage, shared by the game and the tools: resets the world,
// loads the scene and refuses anything a race cannot start from. Returns false
// with a one-line reason (naming the file and, for a bad line, its number).
// `layout`, when given, receives where the counted sections sit in the text.
bool loadRaceScene(World& world, const std::string& path, const ModelLoader& loadModel, std::string& reason,
                   SceneLayout* layout = nullptr);
