#pragma once
// Building the scene at the table in debug mode: keys that turn the picked
// table points into occluder boxes, walls and checkpoints, change the height
// of the box made last, take back what was made last, and save the scene.
#include <string>

#include "world/scene_loader.h"

// The scene file as start-up loaded it, for saving.
void startSceneEditing(const std::string& path, SceneLayout layout);

// The editing keys, printed the first time debug mode is on.
void showEditingKeysOnce();

// O, W, K, Backspace and S in debug mode; false for any other key.
bool editSceneOnKey(unsigned char key);

// Page Up and Page Down in debug mode; false for any other key.
bool editSceneOnSpecialKey(int key);
