// Mesh getters, normals, names and the model's ownership of its objects.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <iterator>
#include <vector>
#include <cstring>

#include "model3ds/model3ds.h"

namespace {

void expectVector(const ModelVector& v, float x, float y, float z) {
  EXPECT_FLOAT_EQ(v.x, x);
  EXPECT_FLOAT_EQ(v.y, y);
  EXPECT_FLOAT_EQ(v.z, z);
}

TEST(ModelMeshGetters, OutOfRangeIndicesReadZerosAndNegativeReadsTheFirst) {
  ModelMesh mesh;
  expectVector(mesh.vertex(-1), 0, 0, 0);  // nothing to read at all
  mesh.addVertex(1, 2, 3);
  mesh.addVertex(4, 5, 6);
  expectVector(mesh.vertex(-3), 1, 2, 3);
  expectVector(mesh.vertex(2), 0, 0, 0);
  EXPECT_EQ(mesh.uv(0).u, 0.0f);
  EXPECT_EQ(mesh.uv(0).v, 0.0f);
  EXPECT_EQ(mesh.triangle(0).c, 0u);
  expectVector(mesh.normal(0), 0, 0, 0);
}

TEST(ModelMeshGetters, DrawTriangleGathersCornersInFileOrder) {
  ModelMesh mesh;
  mesh.addVertex(0, 0, 0);
  mesh.addVertex(0, 1, 0);
  mesh.addVertex(1, 0, 0);
  mesh.addUv(0.1f, 0.2f);
  mesh.addUv(0.3f, 0.4f);
  mesh.addTriangle(2, 1, 0);
  mesh.computeNormals();
  DrawTriangle t = mesh.drawTriangle(0);
  expectVector(t.vertex[0], 1, 0, 0);
  expectVector(t.vertex[2], 0, 0, 0);
  EXPECT_EQ(t.uv[0].u, 0.0f);  // vertex 2 has no texture coordinate
  EXPECT_EQ(t.uv[1].v, 0.4f);
  expectVector(t.faceNormal, 0, 0, 1);
  expectVector(t.normal[1], 0, 0, 1);
}

TEST(ModelMeshGetters, LocalMatrixTransformsOnlyWhenSwitchedOn) {
  ModelMesh mesh;
  mesh.addVertex(1, 0, 0);
  mesh.addNormal(1, 0, 0);
  const float quarterTurn[12] = {0, 1, 0, -1, 0, 0, 0, 0, 1, 10, 20, 30};
  mesh.setLocalMatrix(quarterTurn);
  expectVector(mesh.vertex(0), 1, 0, 0);
  mesh.setUseLocalMatrix(true);
  expectVector(mesh.vertex(0), 10, 21, 30);
  expectVector(mesh.normal(0), 0, 1, 0);
  mesh.setName("keep");
  mesh.clearMesh();
  EXPECT_FALSE(mesh.usesLocalMatrix());
  EXPECT_EQ(mesh.localMatrix().m[0], 1.0f);
  EXPECT_EQ(mesh.vertexCount(), 0);
  EXPECT_STREQ(mesh.name(), "keep");
}

TEST(ModelNormals, VerticesWithoutTrianglesGetZeroNormals) {
  ModelMesh mesh;
  mesh.addVertex(0, 0, 0);
  mesh.addVertex(1, 1, 1);
  mesh.computeNormals();
  ASSERT_EQ(mesh.normalCount(), 2);
  expectVector(mesh.normal(1), 0, 0, 0);
}

// Two faces folded along the x axis, sharing the edge through copies of
// its vertices; offset moves the second face away from the first along y.
ModelMesh foldedPair(float offset) {
  ModelMesh mesh;
  mesh.addVertex(0, 0, 0);
  mesh.addVertex(1, 0, 0);
  mesh.addVertex(0, 1, 0);  // first face lies in z = 0
  mesh.addVertex(0, offset, 0);
  mesh.addVertex(1, offset, 0);
  mesh.addVertex(0, offset, 1);  // second face lies in y = offset
  mesh.addTriangle(0, 1, 2);
  mesh.addTriangle(3, 5, 4);
  mesh.computeNormals();
  return mesh;
}

TEST(ModelNormals, CopiesOfASharedEdgeGetTheSameAveragedNormal) {
  ModelMesh mesh = foldedPair(0);
  float h = 1.0f / std::sqrt(2.0f);
  expectVector(mesh.normal(0), 0, h, h);
  expectVector(mesh.normal(3), 0, h, h);
  expectVector(mesh.normal(2), 0, 0, 1);
  expectVector(mesh.normal(5), 0, 1, 0);
}

TEST(ModelNormals, MergeDistanceIsStrictlyBelowOneTenThousandth) {
  float h = 1.0f / std::sqrt(2.0f);
  ModelMesh near = foldedPair(0.00005f);
  expectVector(near.normal(0), 0, h, h);
  ModelMesh far = foldedPair(0.0002f);
  expectVector(far.normal(0), 0, 0, 1);
  expectVector(far.normal(3), 0, 1, 0);
}

TEST(ModelNormals, DegenerateAndOutOfRangeTrianglesStayInsideTheArrays) {
  ModelMesh mesh;
  mesh.addVertex(0, 0, 0);
  mesh.addVertex(1, 0, 0);
  mesh.addVertex(0, 1, 0);
  mesh.addTriangle(0, 1, 2);
  mesh.addTriangle(0, 0, 70000);  // degenerate, and a corner past the end
  mesh.computeNormals();
  expectVector(mesh.normal(0), 0, 0, 1);
}

// The normals by their definition, comparing every pair of vertices.
std::vector<ModelVector> normalsByEveryPair(const ModelMesh& mesh) {
  const int n = mesh.vertexCount();
  std::vector<ModelVector> faces;
  for (int t = 0; t < mesh.triangleCount(); ++t) faces.push_back(mesh.drawTriangle(t).faceNormal);
  std::vector<ModelVector> out;
  for (int i = 0; i < n; ++i) {
    ModelVector sum, p = mesh.vertex(i);
    for (int j = 0; j < n; ++j) {
      ModelVector q = mesh.vertex(j);
      if (!(std::fabs(p.x - q.x) < 0.0001f && std::fabs(p.y - q.y) < 0.0001f &&
            std::fabs(p.z - q.z) < 0.0001f))
        continue;
      for (int t = 0; t < mesh.triangleCount(); ++t) {
        TriangleIndices c = mesh.triangle(t);
        if (c.a != uint32_t(j) && c.b != uint32_t(j) && c.c != uint32_t(j)) continue;
        sum = {sum.x + faces[t].x, sum.y + faces[t].y, sum.z + faces[t].z};
      }
    }
    out.push_back(normalizeVector(sum));
  }
  return out;
}

// Vertices straddling the merge distance and cell edges, signed zeros, huge
// and non-finite coordinates, and exact copies: the result must be bit for
// bit the every-pair result, summed in the same order.
TEST(ModelNormals, NearbySearchGivesExactlyTheEveryPairResult) {
  const float inf = INFINITY, nan = NAN;
  const float xs[] = {0.0f, -0.0f, 0.0000999f, 0.0001f, 0.00019f, 0.00021f, -0.00001f, 0.00001f, -0.0001f, 1.5f,
                      1.50005f, 1e30f, 3e38f, -3e38f, inf, nan, 0.0f, 1.5f};
  ModelMesh mesh;
  for (float x : xs) {
    mesh.addVertex(x, 0, 0);
    mesh.addVertex(x, 1, 0);
    mesh.addVertex(x, 0.00005f, 1);
  }
  for (uint32_t k = 0; k + 2 < 3 * std::size(xs); ++k) mesh.addTriangle(k, k + 1, k + 2);
  mesh.addTriangle(0, 40, 7);
  mesh.computeNormals();
  std::vector<ModelVector> expected = normalsByEveryPair(mesh);
  ASSERT_EQ(mesh.normalCount(), int(expected.size()));
  for (int i = 0; i < mesh.normalCount(); ++i) {
    const ModelVector got = mesh.normal(i);
    EXPECT_EQ(std::memcmp(&expected[i], &got, sizeof got), 0) << i;
  }
}

// Large models and damaged files with one point repeated must not take
// time that grows with the square of the vertex count.
TEST(ModelNormals, LargeMeshesAndRepeatedPointsStayFast) {
  ModelMesh grid, repeated;
  for (int i = 0; i < 200000; ++i) {
    grid.addVertex(float(i % 500), float(i / 500), 0.0f);
    repeated.addVertex(0, 0, 0);
  }
  for (uint32_t k = 0; k + 501 < 200000; k += 2) {
    grid.addTriangle(k, k + 1, k + 500);
    repeated.addTriangle(k, k + 1, k + 2);
  }
  const auto start = std::chrono::steady_clock::now();
  grid.computeNormals();
  repeated.computeNormals();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 30.0);  // every pair would be 8e10 comparisons per mesh
  expectVector(grid.normal(1001), 0, 0, 1);
  EXPECT_FLOAT_EQ(repeated.normal(199999).z, repeated.normal(0).z);
}

// Vertices packed into a place far smaller than the merge distance would make
// the merge quadratic. The time stays bounded; a cluster whose vertices all
// lie within 0.0001 of each other still gets exactly the every-pair normals,
// and a wider one is merged a little wider instead of taking longer.
TEST(ModelNormals, CrowdedPlacesStayFastAndTightClustersStayExact) {
  auto cluster = [](int n, float spread) {
    ModelMesh mesh;
    uint32_t seed = 12345;
    auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8 & 0xFFFF; };
    for (int i = 0; i < n; ++i)
      mesh.addVertex(1.0f + spread * next() / 65536, 2.0f + spread * next() / 65536, spread * next() / 65536);
    for (int k = 0; k + 2 < n; k += 3) mesh.addTriangle(k, k + 1 + next() % 2, k + 2 - next() % 2);
    return mesh;
  };
  ModelMesh small = cluster(600, 0.00009f);
  small.computeNormals();
  const std::vector<ModelVector> expected = normalsByEveryPair(small);
  for (int i = 0; i < small.normalCount(); ++i) {
    const ModelVector got = small.normal(i);
    ASSERT_EQ(std::memcmp(&expected[i], &got, sizeof got), 0) << i;
  }

  ModelMesh tight = cluster(65535, 0.00009f), wide = cluster(65535, 0.0003f);
  const auto start = std::chrono::steady_clock::now();
  tight.computeNormals();
  wide.computeNormals();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 2.0);  // every pair would be 4e9 comparisons per mesh
  ModelVector sum;  // every vertex is in the same place as every other
  for (int j = 0; j < tight.vertexCount(); ++j) {
    const int t = j / 3;  // the one triangle that can have vertex j as a corner
    const TriangleIndices c = tight.triangle(t);
    if (t >= tight.triangleCount() || (c.a != uint32_t(j) && c.b != uint32_t(j) && c.c != uint32_t(j))) continue;
    const ModelVector f = tight.drawTriangle(t).faceNormal;
    sum = {sum.x + f.x, sum.y + f.y, sum.z + f.z};
  }
  const ModelVector all = normalizeVector(sum);
  for (int i = 0; i < tight.normalCount(); ++i) {
    const ModelVector got = tight.normal(i);
    ASSERT_EQ(std::memcmp(&all, &got, sizeof got), 0) << i;
  }
  for (int i = 0; i < wide.normalCount(); ++i) {
    const ModelVector n = wide.normal(i);
    ASSERT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0f, 1e-5f) << i;
  }
}

// A small patch of points closer together than the merge distance inside a
// mesh of ordinary size costs little to merge exactly, so it keeps the
// every-pair normals, bit for bit, like every other model.
TEST(ModelNormals, DensePatchesInAffordableMeshesStayExact) {
  ModelMesh mesh;
  uint32_t seed = 777;
  auto next = [&seed] { return ((seed = seed * 1664525u + 1013904223u) >> 8 & 0xFFFF) / 65536.0f; };
  for (int i = 0; i < 2400; ++i) mesh.addVertex(float(i % 60), float(i / 60), next());
  for (uint32_t k = 0; k + 61 < 2400; k += 2) mesh.addTriangle(k, k + 1, k + 60);
  for (int i = 0; i < 300; ++i) mesh.addVertex(5.0f + 0.0003f * next(), 5.0f + 0.0003f * next(), 0.0003f * next());
  for (uint32_t k = 2400; k + 2 < 2700; ++k) mesh.addTriangle(k, k + 1, k + 2);
  mesh.computeNormals();
  const std::vector<ModelVector> expected = normalsByEveryPair(mesh);
  for (int i = 0; i < mesh.normalCount(); ++i) {
    const ModelVector got = mesh.normal(i);
    ASSERT_EQ(std::memcmp(&expected[i], &got, sizeof got), 0) << i;
  }
}

TEST(ModelObjectNames, SetNameReplacesAndCopyNameTruncates) {
  ModelMesh mesh;
  char buffer[16] = "unchanged";
  EXPECT_EQ(mesh.copyName(buffer, 16), 0);
  EXPECT_STREQ(buffer, "");
  mesh.setName("first name");
  mesh.setName("wheel");  // the first copy is released (checked by the leak checker)
  EXPECT_EQ(mesh.nameSize(), 6);
  EXPECT_EQ(mesh.copyName(buffer, 16), 6);
  EXPECT_STREQ(buffer, "wheel");
  EXPECT_EQ(mesh.copyName(buffer, 3), 3);
  EXPECT_STREQ(buffer, "wh");
  mesh.setName(nullptr);
  EXPECT_EQ(mesh.name(), nullptr);
  EXPECT_EQ(mesh.nameSize(), 0);
}

TEST(ModelContainer, IndexOutsideTheListsGivesNone) {
  Model3ds model;
  model.newMesh();
  model.newLight();
  EXPECT_EQ(model.mesh(-1), nullptr);
  EXPECT_EQ(model.mesh(model.meshCount()), nullptr);
  EXPECT_EQ(model.light(1), nullptr);
  EXPECT_NE(model.light(0), nullptr);
  model.clear();
  EXPECT_EQ(model.meshCount(), 0);
  EXPECT_EQ(model.lightCount(), 0);
}

TEST(ModelContainer, CopiesOwnTheirObjects) {
  Model3ds copy;
  {
    Model3ds original;
    ModelMesh* m = original.newMesh();
    m->setName("body");
    m->addVertex(1, 2, 3);
    original.newLight()->setColor(1, 0, 0);
    copy = original;
    m->addVertex(4, 5, 6);
    Model3ds second(original);
    EXPECT_EQ(second.mesh(0)->vertexCount(), 2);
  }
  ASSERT_EQ(copy.meshCount(), 1);
  EXPECT_STREQ(copy.mesh(0)->name(), "body");
  EXPECT_EQ(copy.mesh(0)->vertexCount(), 1);
  EXPECT_EQ(copy.light(0)->color().x, 1.0f);
}

TEST(ModelLightValues, ClearLightZeroesPositionColourAndSpot) {
  ModelLight light;
  light.setPosition(1, 2, 3);
  light.setColor(4, 5, 6);
  light.setSpot(true);
  light.setHotspot(9);
  light.clearLight();
  expectVector(light.position(), 0, 0, 0);
  expectVector(light.color(), 0, 0, 0);
  EXPECT_FALSE(light.isSpot());
  EXPECT_EQ(light.hotspot(), 9.0f);
}

}  // namespace
