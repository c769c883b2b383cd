// Mesh getters, normals, names and the model's ownership of its objects.
#include <gtest/gtest.h>

#include <cmath>
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
