#pragma once
// The demo cars: one low-poly shape (body, cabin, four wheels) and a
// texture per team. Model units: about 22 long (x), 10 wide (y), 8 high (z),
// resting on z = 0, nose towards -x. A car is drawn turned by its heading
// (180 degrees for a fresh car, whose direction of travel is +x), so the nose
// at -x points where the car drives.

#include <string>
#include <vector>

#include "canvas.h"
#include "model_writer.h"

struct CarStyle {
  std::string name;
  Color body;
  Color stripe;
  char number;
  bool rearWing;  // the opponent's shape differs by a wing over its tail
};

CarStyle playerStyle();
CarStyle opponentStyle();

// Texture layout (u right, v up; v = 0 is the image's bottom row):
struct UvRect {
  float u0, v0, u1, v1;
};
constexpr UvRect kSideArea{0.0f, 0.5f, 0.5f, 1.0f};
constexpr UvRect kHoodArea{0.5f, 0.5f, 1.0f, 1.0f};
constexpr UvRect kGlassArea{0.0f, 0.0f, 0.5f, 0.5f};
constexpr UvRect kTyreArea{0.5f, 0.0f, 0.75f, 0.5f};
constexpr UvRect kHubArea{0.75f, 0.25f, 1.0f, 0.5f};
constexpr UvRect kNoseArea{0.75f, 0.0f, 1.0f, 0.25f};
constexpr int kTextureSize = 128;

std::vector<MeshData> buildCarMeshes(bool rearWing);
Canvas paintCarTexture(const CarStyle& style);
