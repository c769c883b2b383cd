#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model3ds/model_light.h"
#include "model3ds/model_mesh.h"

// A chunk of a 3DS file: start is the position after its 6-byte header,
// end the position of the first byte after it.
struct ChunkRef {
  uint16_t id = 0;
  int32_t start = 0;
  int32_t end = 0;
};

// A car is a few dozen objects; each costs a few hundred bytes however little
// it holds, so a file of thousands of empty objects is refused instead.
constexpr int kMaxModelObjects = 4096;
// Every triangle is drawn one by one each frame, so a car far below this is
// what the game can show; the bound keeps loading time and memory in check.
constexpr long kMaxModelFileSize = 8L << 20;

constexpr int kSeekSet = 1900;
constexpr int kSeekCurrent = 1901;

// A 3DS model: triangle meshes and lights read from a file. Copies are deep.
class Model3ds {
 public:
  Model3ds() = default;
  Model3ds(const Model3ds& other);
  Model3ds& operator=(const Model3ds& other);
  Model3ds(Model3ds&& other) noexcept = default;
  Model3ds& operator=(Model3ds&& other) noexcept = default;
  virtual ~Model3ds();

  // Replaces the model with the file's meshes and lights; false when the
  // file cannot be read or is not a 3DS model.
  virtual bool loadModelFile(const char* path);
  virtual int meshCount() const;
  virtual int lightCount() const;
  virtual ModelMesh* mesh(int i) const;
  virtual ModelLight* light(int i) const;
  // Emits every triangle through the installed drawing backend, if any.
  virtual void draw();
  virtual void readLightBlock(const ChunkRef& object);
  virtual void readMeshBlock(const ChunkRef& object);
  virtual ChunkRef readChunkHeader();
  virtual bool findChunk(ChunkRef& target, const ChunkRef& parent);
  virtual void skipChunk(const ChunkRef& chunk);
  virtual bool readModel();
  virtual ModelMesh* newMesh();
  virtual ModelLight* newLight();
  virtual void clear();
  virtual uint16_t readU16();
  virtual int32_t readI32();
  virtual uint8_t readByte();
  virtual float readFloat();
  virtual void readString(char* buffer, int& length, int capacity);
  virtual void seek(int32_t offset, int origin);
  virtual int32_t tell() const;

  // The same as loadModelFile on bytes already in memory (copied).
  bool loadModelData(const unsigned char* data, size_t size);
  // Why the last load returned false, in a few words; empty after a success.
  const std::string& loadProblem() const { return loadProblem_; }
  bool readError() const { return readError_; }
  bool fileLoaded() const { return fileLoaded_; }
  const char* objectName() const { return objectName_; }

 private:
  bool canRead(int width) const;
  bool headerUsable(const ChunkRef& chunk) const;
  void skipRestOfName();
  int countThatFits(int count, int elementSize, const ChunkRef& chunk) const;
  void readVertexList(ModelMesh& mesh, const ChunkRef& chunk);
  void readFaceList(ModelMesh& mesh, const ChunkRef& chunk);
  void readUvList(ModelMesh& mesh, const ChunkRef& chunk);
  void readLocalMatrix(ModelMesh& mesh, const ChunkRef& chunk);
  void readLightValues(ModelLight& light, const ChunkRef& chunk);
  bool readThree(float out[3]);
  bool readLoadedBuffer();
  void finishMeshes();
  bool roomForObject();

  char objectName_[100] = {};
  std::vector<std::unique_ptr<ModelLight>> lights_;
  std::vector<std::unique_ptr<ModelMesh>> meshes_;
  bool readError_ = false;
  bool fileLoaded_ = false;
  std::vector<unsigned char> buffer_;
  int32_t size_ = 0;
  int32_t position_ = 0;
  std::string loadProblem_;
};
