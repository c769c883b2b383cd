#include "model3ds/model3ds.h"

#include <cstring>

#include "platform/file_path.h"

Model3ds::Model3ds(const Model3ds& other) { *this = other; }

// The read buffer only lives during a load, so a copy takes the meshes and
// lights and starts with an empty buffer.
Model3ds& Model3ds::operator=(const Model3ds& other) {
  if (this == &other) return *this;
  clear();
  std::memcpy(objectName_, other.objectName_, sizeof objectName_);
  for (const auto& light : other.lights_) lights_.push_back(std::make_unique<ModelLight>(*light));
  for (const auto& mesh : other.meshes_) meshes_.push_back(std::make_unique<ModelMesh>(*mesh));
  fileLoaded_ = other.fileLoaded_;
  return *this;
}

Model3ds::~Model3ds() { clear(); }

int Model3ds::meshCount() const { return static_cast<int>(meshes_.size()); }
int Model3ds::lightCount() const { return static_cast<int>(lights_.size()); }

ModelMesh* Model3ds::mesh(int i) const {
  return i >= 0 && i < meshCount() ? meshes_[static_cast<size_t>(i)].get() : nullptr;
}

ModelLight* Model3ds::light(int i) const {
  return i >= 0 && i < lightCount() ? lights_[static_cast<size_t>(i)].get() : nullptr;
}

ModelMesh* Model3ds::newMesh() {
  meshes_.push_back(std::make_unique<ModelMesh>());
  return meshes_.back().get();
}

ModelLight* Model3ds::newLight() {
  lights_.push_back(std::make_unique<ModelLight>());
  return lights_.back().get();
}

void Model3ds::clear() {
  fileLoaded_ = false;
  std::vector<unsigned char>().swap(buffer_);  // assigning {} would keep the room
  size_ = 0;
  position_ = 0;
  readError_ = false;
  lights_.clear();
  meshes_.clear();
}

bool Model3ds::loadModelFile(const char* path) {
  if (fileLoaded_) clear();
  loadProblem_.clear();
  if (!readWholeFile(path, buffer_, &loadProblem_, kMaxModelFileSize)) return false;
  return readLoadedBuffer();
}

bool Model3ds::loadModelData(const unsigned char* data, size_t size) {
  if (fileLoaded_) clear();
  loadProblem_.clear();
  if (size > static_cast<size_t>(kMaxModelFileSize)) {
    loadProblem_ = "larger than " + describeSizeLimit(kMaxModelFileSize);
    return false;
  }
  buffer_.assign(data, data + size);
  return readLoadedBuffer();
}

// The buffer holds the file; it lives only while the model is read.
bool Model3ds::readLoadedBuffer() {
  size_ = static_cast<int32_t>(buffer_.size());
  position_ = 0;
  fileLoaded_ = true;
  bool ok = readModel();
  std::vector<unsigned char>().swap(buffer_);  // assigning {} would keep the room
  size_ = 0;
  finishMeshes();
  return ok;
}

void Model3ds::finishMeshes() {
  for (const auto& mesh : meshes_) {
    mesh->releaseSpareRoom();
    mesh->computeNormals();
  }
}
