#include "unit_box.h"

#include <algorithm>
#include <array>

namespace {

struct Extent {
  std::array<float, 3> lo, hi;
};

bool jointExtent(const std::vector<MeshData>& meshes, Extent& e) {
  bool any = false;
  for (const MeshData& m : meshes) {
    for (const auto& v : m.vertices) {
      for (int k = 0; k < 3; ++k) {
        e.lo[k] = any ? std::min(e.lo[k], v[k]) : v[k];
        e.hi[k] = any ? std::max(e.hi[k], v[k]) : v[k];
      }
      any = true;
    }
  }
  return any;
}

// Maps lo..hi onto base..base+1. A flat axis goes to 0, which is the
// centre for x and y and the ground for z.
float fitted(float value, float lo, float hi, float base) {
  const float span = hi - lo;
  return span > 0.0f ? base + (value - lo) / span : 0.0f;
}

}  // namespace

bool fitIntoUnitBox(std::vector<MeshData>& meshes) {
  Extent e{};
  if (!jointExtent(meshes, e)) return false;
  const float base[3] = {-0.5f, -0.5f, 0.0f};
  for (MeshData& m : meshes)
    for (auto& v : m.vertices)
      for (int k = 0; k < 3; ++k) v[k] = fitted(v[k], e.lo[k], e.hi[k], base[k]);
  return true;
}
