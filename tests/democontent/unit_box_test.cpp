// Fitting generated meshes into the unit box that the scene's SCALE sizes.
#include <gtest/gtest.h>

#include <algorithm>

#include "car_design.h"
#include "unit_box.h"

namespace {

std::array<float, 3> cross(const std::array<float, 3>& a, const std::array<float, 3>& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

std::array<float, 3> faceNormal(const MeshData& m, const std::array<uint16_t, 3>& f) {
  const auto& a = m.vertices[f[0]];
  const auto& b = m.vertices[f[1]];
  const auto& c = m.vertices[f[2]];
  return cross({b[0] - a[0], b[1] - a[1], b[2] - a[2]}, {c[0] - a[0], c[1] - a[1], c[2] - a[2]});
}

TEST(UnitBox, TwoMeshesAreStretchedTogetherNotEachOnItsOwn) {
  std::vector<MeshData> meshes{{"a", {{-10, 2, 3}, {0, 4, 5}}, {}, {}},
                               {"b", {{10, 6, 11}}, {}, {}}};
  ASSERT_TRUE(fitIntoUnitBox(meshes));
  EXPECT_FLOAT_EQ(meshes[0].vertices[0][0], -0.5f);
  EXPECT_FLOAT_EQ(meshes[0].vertices[0][1], -0.5f);
  EXPECT_FLOAT_EQ(meshes[0].vertices[0][2], 0.0f);
  EXPECT_FLOAT_EQ(meshes[0].vertices[1][0], 0.0f);   // the middle stays the middle
  EXPECT_FLOAT_EQ(meshes[0].vertices[1][2], 0.25f);
  EXPECT_FLOAT_EQ(meshes[1].vertices[0][0], 0.5f);
  EXPECT_FLOAT_EQ(meshes[1].vertices[0][1], 0.5f);
  EXPECT_FLOAT_EQ(meshes[1].vertices[0][2], 1.0f);
}

TEST(UnitBox, FlatAxesAndEmptyInputAreHandled) {
  std::vector<MeshData> flat{{"floor", {{3, 7, 9}, {5, 7, 9}}, {}, {}}};
  ASSERT_TRUE(fitIntoUnitBox(flat));
  EXPECT_FLOAT_EQ(flat[0].vertices[1][0], 0.5f);
  EXPECT_EQ(flat[0].vertices[1][1], 0.0f);  // no extent in y: centred, not divided by 0
  EXPECT_EQ(flat[0].vertices[1][2], 0.0f);  // nor in z: on the ground
  std::vector<MeshData> none{{"empty", {}, {}, {}}};
  EXPECT_FALSE(fitIntoUnitBox(none));
  std::vector<MeshData> nothing;
  EXPECT_FALSE(fitIntoUnitBox(nothing));
}

// Squeezing the wheels' thin rims must not collapse any triangle to nothing.
TEST(UnitBox, CarsFillTheUnitBoxWithoutDegenerateFaces) {
  for (bool wing : {false, true}) {
    std::vector<MeshData> meshes = buildCarMeshes(wing);
    for (const MeshData& m : meshes) {
      for (const auto& f : m.faces) {
        const auto n = faceNormal(m, f);
        EXPECT_GT(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 0.0f) << m.name;
      }
    }
    float lo[3] = {1, 1, 1}, hi[3] = {-1, -1, -1};
    for (const MeshData& m : meshes)
      for (const auto& v : m.vertices)
        for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], v[k]), hi[k] = std::max(hi[k], v[k]);
    EXPECT_EQ(lo[0], -0.5f);
    EXPECT_EQ(hi[0], 0.5f);
    EXPECT_EQ(lo[1], -0.5f);
    EXPECT_EQ(hi[1], 0.5f);
    EXPECT_EQ(lo[2], 0.0f);
    EXPECT_EQ(hi[2], 1.0f);
  }
}

}  // namespace
