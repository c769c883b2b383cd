// Reading whole 3DS files: what becomes meshes and lights, and how damaged
// files end the walk.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "chunk_builder.h"
#include "common/scratch_dir.h"
#include "model3ds/model3ds.h"

namespace {

Bytes squareMesh(const std::string& name) {
  return meshObject(name, {vertexList({{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}}),
                           faceList({{0, 1, 2}, {0, 2, 3}}),
                           uvList({{0, 0}, {1, 0}, {1, 1}, {0, 1}})});
}

bool load(Model3ds& model, const Bytes& data) {
  return model.loadModelData(data.data(), data.size());
}

std::string writeTemp(const std::string& name, const Bytes& data) {
  std::string path = scratchPath(name);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f) {
    if (!data.empty()) std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
  }
  return path;
}

TEST(ModelReader, MeshObjectBecomesANamedMeshWithItsLists) {
  Model3ds model;
  ASSERT_TRUE(load(model, modelFile({squareMesh("body")})));
  ASSERT_EQ(model.meshCount(), 1);
  ModelMesh* m = model.mesh(0);
  EXPECT_STREQ(m->name(), "body");
  EXPECT_EQ(m->vertexCount(), 4);
  EXPECT_EQ(m->faceCount(), 2);
  EXPECT_EQ(m->uvCount(), 4);
  EXPECT_EQ(m->normalCount(), 4);
  EXPECT_EQ(m->vertex(2).x, 2.0f);
  EXPECT_EQ(m->triangle(1).c, 3u);
  EXPECT_EQ(m->uv(2).v, 1.0f);
  EXPECT_EQ(m->normal(0).z, 1.0f);
}

TEST(ModelReader, LocalMatrixIsStoredButNotApplied) {
  Bytes matrix = chunk(0x4160, {floats({0, 1, 0, -1, 0, 0, 0, 0, 1, 5, 6, 7})});
  Model3ds model;
  ASSERT_TRUE(load(model, modelFile({meshObject(
                              "m", {vertexList({{1, 2, 3}}), matrix, faceList({{0, 0, 0}})})})));
  ModelMesh* m = model.mesh(0);
  ModelMatrix local = m->localMatrix();
  EXPECT_EQ(local.m[1], 1.0f);
  EXPECT_EQ(local.m[9], 5.0f);
  EXPECT_EQ(local.m[11], 7.0f);
  EXPECT_FALSE(m->usesLocalMatrix());
  EXPECT_EQ(m->vertex(0).x, 1.0f);
  EXPECT_EQ(m->faceCount(), 1);  // the walk went on after the matrix
}

TEST(ModelReader, ListsInAnyOrderAndEmptyVertexLists) {
  Model3ds model;
  Bytes facesFirst = meshObject("f", {faceList({{0, 1, 2}}), vertexList({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}})});
  Bytes empty = meshObject("e", {vertexList({})});
  ASSERT_TRUE(load(model, modelFile({facesFirst, empty})));
  ASSERT_EQ(model.meshCount(), 2);
  EXPECT_EQ(model.mesh(0)->faceCount(), 1);
  EXPECT_EQ(model.mesh(0)->normal(0).z, 1.0f);
  EXPECT_EQ(model.mesh(0)->uvCount(), 0);
  EXPECT_EQ(model.mesh(1)->vertexCount(), 0);
  EXPECT_EQ(model.mesh(1)->normalCount(), 0);
}

TEST(ModelReader, CamerasAndUnknownBlocksAreSkippedWithoutCreatingAnything) {
  Bytes camera = chunk(0x4000, {cString("cam"), chunk(0x4700, {floats({1, 2, 3, 4, 5, 6, 7, 8})})});
  Bytes material = chunk(0xAFFF, {chunk(0xA000, {cString("paint")})});
  Model3ds model;
  ASSERT_TRUE(load(model, modelFile({material, camera, squareMesh("after")})));
  EXPECT_EQ(model.meshCount(), 1);
  EXPECT_EQ(model.lightCount(), 0);
  EXPECT_STREQ(model.mesh(0)->name(), "after");
}

TEST(ModelReader, LightValuesAreKept) {
  Bytes spot = chunk(0x4610, {floats({7, 8, 9, 20, 40})});
  Bytes color = chunk(0x0010, {floats({0.5f, 0.25f, 1})});
  Bytes lamp = chunk(0x4000, {cString("lamp"), chunk(0x4600, {floats({1, 2, 3}), color, spot})});
  Model3ds model;
  ASSERT_TRUE(load(model, modelFile({lamp})));
  ASSERT_EQ(model.lightCount(), 1);
  ModelLight* l = model.light(0);
  EXPECT_STREQ(l->name(), "lamp");
  EXPECT_EQ(l->position().z, 3.0f);
  EXPECT_EQ(l->color().y, 0.25f);
  EXPECT_TRUE(l->isSpot());
  EXPECT_EQ(l->target().x, 7.0f);
  EXPECT_EQ(l->hotspot(), 20.0f);
  EXPECT_EQ(l->falloff(), 40.0f);
}

TEST(ModelReader, LongNamesAreCutTo98CharactersAndTheObjectIsStillRead) {
  std::string longName(120, 'n');
  Model3ds model;
  ASSERT_TRUE(load(model, modelFile({squareMesh(longName), squareMesh("second")})));
  ASSERT_EQ(model.meshCount(), 2);
  EXPECT_EQ(std::string(model.mesh(0)->name()), std::string(98, 'n'));
  EXPECT_EQ(model.mesh(0)->faceCount(), 2);
  EXPECT_STREQ(model.mesh(1)->name(), "second");
}

TEST(ModelReader, FilesThatAreNotModelsFailAndModelsWithoutObjectsSucceed) {
  Model3ds model;
  EXPECT_FALSE(load(model, chunk(0x4D4C, {chunk(0x3D3D, {squareMesh("x")})}) + Bytes(4, 0)));
  EXPECT_EQ(model.loadProblem(), "not a 3DS model (it does not start with a main chunk)");
  EXPECT_FALSE(load(model, chunk(0x4D4D, {chunk(0x0002, {Bytes(4, 0)})}) + Bytes(4, 0)));
  EXPECT_EQ(model.loadProblem(), "not a 3DS model with geometry (no editor block)");
  EXPECT_FALSE(load(model, Bytes{}));
  EXPECT_TRUE(load(model, modelFile({})));
  EXPECT_EQ(model.loadProblem(), "");
  EXPECT_EQ(model.meshCount(), 0);
  EXPECT_FALSE(model.loadModelFile(nullptr));
}

// Pipes and devices would block or never end, and a huge file or thousands of
// objects would cost memory far beyond the file's size: all are refused with
// the reason, and the model is left empty.
TEST(ModelReader, HostileFilesAreRefusedWithTheirReason) {
  ScratchDir dir;
  const std::string huge = dir.write("huge.3ds", "");
  ASSERT_EQ(truncate(huge.c_str(), (8 << 20) + 1), 0);
  const std::vector<Bytes> objects(kMaxModelObjects + 1, meshObject("", {}));
  const std::string bare = dir.file("absent.3ds");
  const Bytes many = modelFile(objects), most = modelFile({objects.begin(), objects.end() - 1});
  const struct {
    std::string path, problem;
  } cases[] = {{dir.pipe("pipe.3ds"), "a named pipe, not a regular file"},
               {bare, "No such file or directory"},
               {huge, "larger than 8 MB"},
               {dir.write("many.3ds", std::string(many.begin(), many.end())), "more than 4096 meshes and lights"}};
  for (const auto& c : cases) {
    Model3ds model;
    ASSERT_TRUE(load(model, modelFile({squareMesh("earlier")})));
    EXPECT_FALSE(model.loadModelFile(c.path.c_str())) << c.path;
    EXPECT_EQ(model.loadProblem(), c.problem);
    EXPECT_EQ(model.meshCount(), 0);
  }
  Model3ds model;
  EXPECT_TRUE(load(model, most));
  EXPECT_EQ(model.meshCount(), kMaxModelObjects);
}

TEST(ModelReader, SecondFileReplacesTheFirst) {
  std::string first = writeTemp("first.3ds", modelFile({squareMesh("a"), squareMesh("b")}));
  std::string second = writeTemp("second.3ds", modelFile({squareMesh("c")}));
  Model3ds model;
  ASSERT_TRUE(model.loadModelFile(first.c_str()));
  EXPECT_EQ(model.meshCount(), 2);
  ASSERT_TRUE(model.loadModelFile(second.c_str()));
  ASSERT_EQ(model.meshCount(), 1);
  EXPECT_STREQ(model.mesh(0)->name(), "c");
}

TEST(ModelReader, EditorBlockRunningToTheLastByteEndsAfterItsLastObject) {
  Model3ds model;
  ASSERT_TRUE(load(model, modelFile({squareMesh("a"), squareMesh("b")}, false)));
  EXPECT_EQ(model.meshCount(), 2);
}

// The last bytes of a file are never readable, so the last element of a list
// that ends the file enters with 0 for what could not be read, not dropped.
TEST(ModelReader, ListThatEndsTheFileKeepsItsLastElement) {
  Bytes vertices = vertexList({{1, 2, 3}, {4, 5, 6}});
  Bytes faces = faceList({{0, 1, 2}, {2, 1, 0}});
  Bytes uvs = uvList({{0.25f, 0.5f}, {0.75f, 1}});
  const std::vector<Bytes> orders[] = {{faces, uvs, vertices}, {vertices, uvs, faces}, {vertices, faces, uvs}};
  for (const std::vector<Bytes>& lists : orders) {
    Model3ds model;
    ASSERT_TRUE(load(model, modelFile({meshObject("m", lists)}, false)));
    ModelMesh* m = model.mesh(0);
    EXPECT_EQ(m->vertexCount(), 2);
    EXPECT_EQ(m->faceCount(), 2);
    EXPECT_EQ(m->uvCount(), 2);
    EXPECT_EQ(m->vertex(1).y, 5.0f);
    EXPECT_EQ(m->triangle(1).a, 2u);
    EXPECT_EQ(m->triangle(1).c, 0u);
    EXPECT_EQ(m->uv(1).u, 0.75f);
  }
}

// Each list holds two elements but claims 60000; the list after it is still read.
TEST(ModelReader, ListCountsBeyondTheirChunkDoNotInventElements) {
  auto claiming = [](uint16_t id, const Bytes& elements) {
    Bytes list;
    put16(list, 60000);
    return chunk(id, {list + elements});
  };
  Bytes vertices = claiming(0x4110, floats({1, 2, 3, 4, 5, 6}));
  Bytes faces = claiming(0x4120, Bytes{0, 0, 1, 0, 2, 0, 7, 0, 2, 0, 1, 0, 0, 0, 7, 0});
  Bytes uvs = claiming(0x4140, floats({0.5f, 1, 0.25f, 0.75f}));
  Model3ds model;
  ASSERT_TRUE(load(model, modelFile({meshObject("m", {vertices, faces, uvs, uvList({{9, 9}})})})));
  ModelMesh* m = model.mesh(0);
  EXPECT_EQ(m->vertexCount(), 2);
  EXPECT_EQ(m->faceCount(), 2);
  EXPECT_EQ(m->uvCount(), 3);
  EXPECT_EQ(m->vertex(1).z, 6.0f);
  EXPECT_EQ(m->triangle(1).a, 2u);
  EXPECT_EQ(m->uv(1).v, 0.75f);
}

TEST(ModelReader, FaceIndicesBeyondTheVerticesReadAsZeroCorners) {
  Model3ds model;
  ASSERT_TRUE(load(model, modelFile({meshObject(
                              "m", {vertexList({{1, 1, 1}, {2, 2, 2}}), faceList({{0, 1, 900}})})})));
  DrawTriangle t = model.mesh(0)->drawTriangle(0);
  EXPECT_EQ(t.vertex[1].x, 2.0f);
  EXPECT_EQ(t.vertex[2].x, 0.0f);
  EXPECT_EQ(t.normal[2].x, 0.0f);
}

TEST(ModelReader, DamagedChunkLengthsEndTheWalk) {
  for (uint32_t badLength : {0u, 1u, 5u, 0x80000000u}) {
    Bytes bad = chunk(0x4000, {cString("bad"), chunk(0x4100, {vertexList({{1, 1, 1}})}, badLength)});
    Model3ds model;
    EXPECT_TRUE(load(model, modelFile({squareMesh("good"), bad})));
    EXPECT_GE(model.meshCount(), 1) << badLength;
    Bytes badObject = chunk(0x4000, {cString("o")}, badLength);
    EXPECT_TRUE(load(model, modelFile({squareMesh("good"), badObject, squareMesh("lost")})));
  }
}

Bytes richModel() {
  Bytes lamp = chunk(0x4000, {cString("lamp"), chunk(0x4600, {floats({1, 2, 3}),
                                                               chunk(0x0010, {floats({1, 1, 1})})})});
  Bytes matrix = chunk(0x4160, {floats({1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0})});
  Bytes mesh = meshObject("car", {vertexList({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 1}}),
                                  faceList({{0, 1, 2}, {0, 2, 3}}), uvList({{0, 0}, {1, 0}}), matrix});
  return modelFile({chunk(0xAFFF, {cString("mat")}), mesh, lamp, squareMesh("wheel")});
}

// Loads an exactly sized copy, so that the sanitizer build sees any read
// past the end; the walk must end and keep its counts consistent.
void loadExact(const Bytes& data, size_t length) {
  std::unique_ptr<unsigned char[]> copy(new unsigned char[length ? length : 1]);
  if (length) std::memcpy(copy.get(), data.data(), length);
  Model3ds model;
  model.loadModelData(copy.get(), length);
  for (int i = 0; i < model.meshCount(); ++i) {
    ModelMesh* m = model.mesh(i);
    EXPECT_TRUE(m->normalCount() == 0 || m->normalCount() == m->vertexCount());
    for (int j = 0; j < m->faceCount(); ++j) m->drawTriangle(j);
  }
}

TEST(ModelReader, EveryTruncationOfAValidFileIsSurvived) {
  Bytes data = richModel();
  for (size_t length = 0; length <= data.size(); ++length) loadExact(data, length);
}

TEST(ModelReader, EveryByteFlipOfAValidFileIsSurvived) {
  Bytes data = richModel();
  for (size_t at = 0; at < data.size(); ++at) {
    for (unsigned char flip : {0xFF, 0x80, 0x01, 0x10}) {
      Bytes damaged = data;
      damaged[at] ^= flip;
      loadExact(damaged, damaged.size());
    }
  }
}

}  // namespace
