#pragma once
// Car textures: made once at start-up from the BMP named in the scene.
#include "render/texture_record.h"
#include "world/records.h"

// Loads the bitmap and builds its mipmapped texture, left bound. Ends the
// process when the file cannot be used (the loader has said why).
void createTexture(const char* path, Texture& texture);
void setupCarTexture(Car& car, const char* texturePath);
