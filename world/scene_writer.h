#pragma once
// Writing a scene back after it was built on at the table: the text as read,
// with the boxes, collision boxes and checkpoints added since then written
// after the last entry of their sections and the counts raised. Every other
// character (the header lines with whatever they name, the cars, the route,
// spacing and line ends) stays as it was.
#include "world/scene_loader.h"
#include "world/world.h"

#include <string>

// `layout` is the file as loaded; the world's lists hold its entries first,
// then the added ones.
std::string editedSceneText(const SceneLayout& layout, const World& world);

// The scene file as the game read it and as it last saw it on disk.
struct SceneFile {
    std::string path;
    SceneLayout loaded;
    std::string onDisk;       // what the file held when read or last written
    bool backupKept = false;  // path + ".bak" holds the file as loaded
};

// Writes editedSceneText over the file, each file through a temporary file
// renamed into place. The first time, the file as loaded is kept as
// path + ".bak". A file changed on disk since is left alone. False with why.
bool saveEditedScene(SceneFile& file, const World& world, std::string& why);
