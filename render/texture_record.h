#pragma once
#include <cstdint>

#include "render/rgb_image.h"

// One car's texture. The image is only needed until the GL texture exists;
// glName is the OpenGL texture object name (0 until one is made).
struct Texture {
  RgbImage* image = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  uint32_t glName = 0;
};
