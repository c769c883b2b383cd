#pragma once
#include "model3ds/model_types.h"

// Where Model3ds::draw sends its output. The model library has no OpenGL, so
// the game installs a GL backend; with none installed drawing does nothing.
struct ModelDrawBackend {
  void* context = nullptr;
  void (*pushMatrix)(void* context) = nullptr;
  void (*triangle)(void* context, const DrawTriangle& triangle) = nullptr;
  void (*popMatrix)(void* context) = nullptr;
};

// Installs a copy of backend; nullptr removes it.
void setModelDrawBackend(const ModelDrawBackend* backend);
