// The walk through a 3DS file's chunks: the editor block's objects become
// meshes and lights; everything else is skipped by its length.
#include "model3ds/model3ds.h"

namespace {

constexpr uint16_t kMainChunk = 0x4D4D;
constexpr uint16_t kEditorChunk = 0x3D3D;
constexpr uint16_t kObjectChunk = 0x4000;
constexpr uint16_t kTriangleMesh = 0x4100;
constexpr uint16_t kVertexList = 0x4110;
constexpr uint16_t kFaceList = 0x4120;
constexpr uint16_t kMappingList = 0x4140;
constexpr uint16_t kLocalMatrix = 0x4160;
constexpr uint16_t kLight = 0x4600;
constexpr uint16_t kLightColor = 0x0010;
constexpr uint16_t kSpotlight = 0x4610;
constexpr int kObjectNameCapacity = 99;

}  // namespace

bool Model3ds::readModel() {
  ChunkRef main = readChunkHeader();
  if (readError_ || main.id != kMainChunk) {
    loadProblem_ = "not a 3DS model (it does not start with a main chunk)";
    return false;
  }
  ChunkRef editor{kEditorChunk};
  if (!findChunk(editor, main)) {
    loadProblem_ = "not a 3DS model with geometry (no editor block)";
    return false;
  }
  ChunkRef object{kObjectChunk};
  if (!findChunk(object, editor)) return true;
  do {
    int length = 0;
    readString(objectName_, length, kObjectNameCapacity);
    skipRestOfName();
    ChunkRef kind = readChunkHeader();
    bool mesh = headerUsable(kind) && kind.id == kTriangleMesh, light = headerUsable(kind) && kind.id == kLight;
    if ((mesh || light) && !roomForObject()) return false;
    if (mesh) readMeshBlock(object);
    if (light) readLightBlock(object);
    skipChunk(object);
  } while (findChunk(object, editor));
  return true;
}

// Refusing the whole file keeps memory a small multiple of the file's size.
bool Model3ds::roomForObject() {
  if (meshes_.size() + lights_.size() < static_cast<size_t>(kMaxModelObjects)) return true;
  lights_.clear();
  meshes_.clear();
  loadProblem_ = "more than " + std::to_string(kMaxModelObjects) + " meshes and lights";
  return false;
}

// A name cut at the buffer's capacity leaves its tail unread; skipping it
// keeps the object's own chunks in step, so long names only lose characters.
void Model3ds::skipRestOfName() {
  if (position_ <= 0 || buffer_[static_cast<size_t>(position_ - 1)] == 0) return;
  while (!readError_ && readByte() != 0) {
  }
}

void Model3ds::readMeshBlock(const ChunkRef& object) {
  ModelMesh* mesh = newMesh();
  mesh->setName(objectName_);
  ChunkRef h = readChunkHeader();
  while (headerUsable(h) && h.end <= object.end) {
    switch (h.id) {
      case kVertexList: readVertexList(*mesh, h); break;
      case kFaceList: readFaceList(*mesh, h); break;
      case kMappingList: readUvList(*mesh, h); break;
      case kLocalMatrix: readLocalMatrix(*mesh, h); break;
      default: break;
    }
    skipChunk(h);
    if (h.end >= object.end) break;
    h = readChunkHeader();
  }
  // Normals follow once the file's buffer is released (finishMeshes): the
  // result is the same, and the buffer and the normals' work areas are never
  // held at once.
}

// A list never claims more elements than its chunk holds, so damaged counts
// cannot invent elements. The element that meets the end of the file still
// enters, with 0 for what could not be read (the last bytes of a file are
// never readable, so a list that ends the file would lose its last element);
// none after it does.
int Model3ds::countThatFits(int count, int elementSize, const ChunkRef& chunk) const {
  int64_t room = (int64_t{chunk.end} - position_) / elementSize;
  if (room < 0) room = 0;
  return count < room ? count : static_cast<int>(room);
}

void Model3ds::readVertexList(ModelMesh& mesh, const ChunkRef& chunk) {
  int count = countThatFits(readU16(), 12, chunk);
  mesh.reserveMore(count, 0, 0);
  for (int i = 0; i < count; ++i) {
    float v[3];
    bool complete = readThree(v);
    mesh.addVertex(v[0], v[1], v[2]);
    if (!complete) return;
  }
}

void Model3ds::readFaceList(ModelMesh& mesh, const ChunkRef& chunk) {
  int count = countThatFits(readU16(), 8, chunk);
  mesh.reserveMore(0, count, 0);
  for (int i = 0; i < count; ++i) {
    uint16_t a = readU16(), b = readU16(), c = readU16();
    readU16();  // edge visibility flags
    mesh.addTriangle(a, b, c);
    if (readError_) return;
  }
}

void Model3ds::readUvList(ModelMesh& mesh, const ChunkRef& chunk) {
  int count = countThatFits(readU16(), 8, chunk);
  mesh.reserveMore(0, 0, count);
  for (int i = 0; i < count; ++i) {
    float u = readFloat(), v = readFloat();
    mesh.addUv(u, v);
    if (readError_) return;
  }
}

void Model3ds::readLocalMatrix(ModelMesh& mesh, const ChunkRef& chunk) {
  if (countThatFits(1, 48, chunk) < 1) return;
  float values[12];
  for (float& value : values) value = readFloat();
  if (!readError_) mesh.setLocalMatrix(values);
}

bool Model3ds::readThree(float out[3]) {
  for (int k = 0; k < 3; ++k) out[k] = readFloat();
  return !readError_;
}

void Model3ds::readLightBlock(const ChunkRef& object) {
  ModelLight* light = newLight();
  light->setName(objectName_);
  float p[3];
  if (!readThree(p)) return;
  light->setPosition(p[0], p[1], p[2]);
  ChunkRef h = readChunkHeader();
  while (headerUsable(h) && h.end <= object.end) {
    readLightValues(*light, h);
    skipChunk(h);
    if (h.end >= object.end) break;
    h = readChunkHeader();
  }
}

void Model3ds::readLightValues(ModelLight& light, const ChunkRef& chunk) {
  float v[3];
  if (chunk.id == kLightColor && countThatFits(1, 12, chunk) == 1 && readThree(v)) {
    light.setColor(v[0], v[1], v[2]);
  } else if (chunk.id == kSpotlight && countThatFits(1, 20, chunk) == 1 && readThree(v)) {
    float hotspot = readFloat(), falloff = readFloat();
    if (readError_) return;
    light.setTarget(v[0], v[1], v[2]);
    light.setHotspot(hotspot);
    light.setFalloff(falloff);
    light.setSpot(true);
  }
}
