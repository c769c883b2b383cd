// The bundled car models read back through the model loader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include "model3ds/model3ds.h"

namespace {

const std::string kDemo = ROVANTA_DEMO_DIR;

struct Bounds {
  float lo[3] = {1e9f, 1e9f, 1e9f};
  float hi[3] = {-1e9f, -1e9f, -1e9f};
  void add(const ModelVector& v) {
    const float p[3] = {v.x, v.y, v.z};
    for (int k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], p[k]);
      hi[k] = std::max(hi[k], p[k]);
    }
  }
};

ModelVector centreOf(const ModelMesh& m) {
  ModelVector c;
  for (int i = 0; i < m.vertexCount(); ++i) {
    c.x += m.vertex(i).x / m.vertexCount();
    c.y += m.vertex(i).y / m.vertexCount();
    c.z += m.vertex(i).z / m.vertexCount();
  }
  return c;
}

class DemoCar : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    // The scene file names models with backslashes.
    std::string name = kDemo + "\\models\\" + GetParam() + ".3ds";
    ASSERT_TRUE(model.loadModelFile(name.c_str()));
  }
  Model3ds model;
};

TEST_P(DemoCar, HasABodyACabinAndFourWheels) {
  std::set<std::string> names;
  for (int i = 0; i < model.meshCount(); ++i) names.insert(model.mesh(i)->name());
  for (const char* part : {"body", "cabin", "wheel front left", "wheel front right",
                           "wheel rear left", "wheel rear right"})
    EXPECT_EQ(names.count(part), 1u) << part;
}

TEST_P(DemoCar, IsCarSizedRestsOnTheTableAndPointsItsNoseToMinusX) {
  Bounds b;
  for (int i = 0; i < model.meshCount(); ++i)
    for (int j = 0; j < model.mesh(i)->vertexCount(); ++j) b.add(model.mesh(i)->vertex(j));
  EXPECT_NEAR(b.hi[0] - b.lo[0], 22.5f, 2.5f);
  EXPECT_NEAR(b.hi[1] - b.lo[1], 10.0f, 1.0f);
  EXPECT_NEAR(b.hi[2] - b.lo[2], 8.0f, 1.0f);
  EXPECT_FLOAT_EQ(b.lo[2], 0.0f);
  for (int i = 0; i < model.meshCount(); ++i) {
    const ModelMesh& m = *model.mesh(i);
    if (std::strncmp(m.name(), "wheel front", 11) == 0) {
      EXPECT_LT(centreOf(m).x, 0);
    } else if (std::strncmp(m.name(), "wheel rear", 10) == 0) {
      EXPECT_GT(centreOf(m).x, 0);
    }
  }
}

TEST_P(DemoCar, FacesPointOutwardsAndCornersAreMappedOntoTheTexture) {
  for (int i = 0; i < model.meshCount(); ++i) {
    const ModelMesh& m = *model.mesh(i);
    ModelVector centre = centreOf(m);
    ASSERT_EQ(m.uvCount(), m.vertexCount());
    for (int j = 0; j < m.faceCount(); ++j) {
      TriangleIndices t = m.triangle(j);
      ASSERT_LT(std::max({t.a, t.b, t.c}), static_cast<uint32_t>(m.vertexCount()));
      DrawTriangle d = m.drawTriangle(j);
      float cx = (d.vertex[0].x + d.vertex[1].x + d.vertex[2].x) / 3 - centre.x;
      float cy = (d.vertex[0].y + d.vertex[1].y + d.vertex[2].y) / 3 - centre.y;
      float cz = (d.vertex[0].z + d.vertex[1].z + d.vertex[2].z) / 3 - centre.z;
      EXPECT_GT(d.faceNormal.x * cx + d.faceNormal.y * cy + d.faceNormal.z * cz, 0)
          << m.name() << " face " << j;
      for (const ModelUv& uv : d.uv) {
        EXPECT_TRUE(uv.u > 0 && uv.u < 1 && uv.v > 0 && uv.v < 1) << m.name();
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothCars, DemoCar, ::testing::Values("player", "opponent"));

}  // namespace
