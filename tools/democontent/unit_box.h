#pragma once
#include <vector>

#include "model_writer.h"

// Stretches the meshes together so that their joint bounds become
// x, y in [-0.5, 0.5] and z in [0, 1]: the scene's SCALE of a car is then
// its length, width and height in world units, and the opponent's box in
// the collision test matches what is drawn. An axis without extent is only
// centred (x, y) or moved to the base (z). False when there are no vertices.
bool fitIntoUnitBox(std::vector<MeshData>& meshes);
