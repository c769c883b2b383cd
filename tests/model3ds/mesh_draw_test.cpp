// Drawing walks every mesh and triangle through the installed backend.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model3ds/draw_backend.h"
#include "model3ds/model3ds.h"

namespace {

struct Recorder {
  std::vector<std::string> calls;
  std::vector<DrawTriangle> triangles;
};

ModelDrawBackend recordingBackend(Recorder& r) {
  ModelDrawBackend b;
  b.context = &r;
  b.pushMatrix = [](void* c) { static_cast<Recorder*>(c)->calls.push_back("push"); };
  b.popMatrix = [](void* c) { static_cast<Recorder*>(c)->calls.push_back("pop"); };
  b.triangle = [](void* c, const DrawTriangle& t) {
    static_cast<Recorder*>(c)->calls.push_back("triangle");
    static_cast<Recorder*>(c)->triangles.push_back(t);
  };
  return b;
}

class MeshDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    ModelDrawBackend b = recordingBackend(recorder);
    setModelDrawBackend(&b);
  }
  void TearDown() override { setModelDrawBackend(nullptr); }
  Recorder recorder;
};

void addTriangleMesh(Model3ds& model, float x) {
  ModelMesh* m = model.newMesh();
  m->addVertex(x, 0, 0);
  m->addVertex(x + 1, 0, 0);
  m->addVertex(x, 1, 0);
  m->addUv(0.5f, 0.75f);
  m->addTriangle(0, 1, 2);
  m->addTriangle(2, 1, 0);
  m->computeNormals();
}

TEST_F(MeshDraw, EmptyModelOnlyPushesAndPops) {
  Model3ds model;
  model.draw();
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"push", "pop"}));
}

TEST_F(MeshDraw, EveryTriangleOfEveryMeshInOrderBetweenPushAndPop) {
  Model3ds model;
  addTriangleMesh(model, 0);
  model.newMesh();  // a mesh without triangles adds nothing
  addTriangleMesh(model, 10);
  model.draw();
  ASSERT_EQ(recorder.calls.size(), 6u);
  EXPECT_EQ(recorder.calls.front(), "push");
  EXPECT_EQ(recorder.calls.back(), "pop");
  ASSERT_EQ(recorder.triangles.size(), 4u);
  EXPECT_EQ(recorder.triangles[0].vertex[1].x, 1.0f);
  EXPECT_EQ(recorder.triangles[1].vertex[0].y, 1.0f);
  EXPECT_EQ(recorder.triangles[2].vertex[0].x, 10.0f);
  EXPECT_EQ(recorder.triangles[0].uv[0].u, 0.5f);
  EXPECT_EQ(recorder.triangles[0].uv[1].u, 0.0f);  // no coordinate: (0, 0)
  EXPECT_EQ(recorder.triangles[0].normal[0].z, 0.0f);  // the two faces cancel
}

TEST_F(MeshDraw, DrawingTwiceDrawsEverythingTwice) {
  Model3ds model;
  addTriangleMesh(model, 0);
  model.draw();
  model.draw();
  EXPECT_EQ(recorder.triangles.size(), 4u);
  EXPECT_EQ(recorder.calls[4], "push");
}

TEST_F(MeshDraw, WithoutABackendNothingIsEmitted) {
  setModelDrawBackend(nullptr);
  Model3ds model;
  addTriangleMesh(model, 0);
  model.draw();
  ModelDrawBackend partial = recordingBackend(recorder);
  partial.popMatrix = nullptr;  // an incomplete backend is not installed
  setModelDrawBackend(&partial);
  model.draw();
  EXPECT_TRUE(recorder.calls.empty());
}

}  // namespace
