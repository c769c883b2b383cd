#include "model3ds/model_mesh.h"

#include <algorithm>
#include <cstring>

namespace {

ModelVector transformPoint(const ModelMatrix& m, const ModelVector& v, bool withOrigin) {
  const float* r = m.m;
  float w = withOrigin ? 1.0f : 0.0f;
  return {v.x * r[0] + v.y * r[3] + v.z * r[6] + w * r[9],
          v.x * r[1] + v.y * r[4] + v.z * r[7] + w * r[10],
          v.x * r[2] + v.y * r[5] + v.z * r[8] + w * r[11]};
}

}  // namespace

template <typename T>
T ModelMesh::element(const std::vector<T>& items, int i) {
  if (items.empty() || i >= static_cast<int>(items.size())) return T{};
  return items[i < 0 ? 0 : static_cast<size_t>(i)];
}

int ModelMesh::vertexCount() const { return static_cast<int>(vertices_.size()); }
int ModelMesh::uvCount() const { return static_cast<int>(uvs_.size()); }
int ModelMesh::normalCount() const { return static_cast<int>(normals_.size()); }
int ModelMesh::triangleCount() const { return static_cast<int>(triangles_.size()); }
int ModelMesh::faceCount() const { return triangleCount(); }

// With the local matrix in use, points are taken from the mesh's own frame
// into the parent frame; normals are turned by the axes only.
ModelVector ModelMesh::vertex(int i) const {
  ModelVector v = element(vertices_, i);
  return useLocalMatrix_ ? transformPoint(localMatrix_, v, true) : v;
}

ModelVector ModelMesh::normal(int i) const {
  ModelVector n = element(normals_, i);
  return useLocalMatrix_ ? transformPoint(localMatrix_, n, false) : n;
}

ModelUv ModelMesh::uv(int i) const { return element(uvs_, i); }
TriangleIndices ModelMesh::triangle(int i) const { return element(triangles_, i); }

void ModelMesh::addVertex(float x, float y, float z) { vertices_.push_back({x, y, z}); }
void ModelMesh::addNormal(float x, float y, float z) { normals_.push_back({x, y, z}); }
void ModelMesh::addUv(float u, float v) { uvs_.push_back({u, v}); }
void ModelMesh::addTriangle(uint32_t a, uint32_t b, uint32_t c) {
  triangles_.push_back({a, b, c});
}

namespace {

template <typename T>
void reserveMoreOf(std::vector<T>& items, int more) {
  const size_t wanted = items.size() + static_cast<size_t>(more > 0 ? more : 0);
  // Geometric growth beyond the first list, so many small lists stay linear.
  if (wanted > items.capacity()) items.reserve(items.empty() ? wanted : std::max(wanted, items.capacity() * 3 / 2));
}

}  // namespace

void ModelMesh::reserveMore(int vertices, int triangles, int uvs) {
  reserveMoreOf(vertices_, vertices);
  reserveMoreOf(triangles_, triangles);
  reserveMoreOf(uvs_, uvs);
}

void ModelMesh::releaseSpareRoom() {
  vertices_.shrink_to_fit();
  triangles_.shrink_to_fit();
  uvs_.shrink_to_fit();
}

void ModelMesh::clearMesh() {
  // Swapped with empty arrays: assigning {} would keep the room allocated.
  std::vector<ModelVector>().swap(vertices_);
  std::vector<ModelVector>().swap(normals_);
  std::vector<ModelUv>().swap(uvs_);
  std::vector<TriangleIndices>().swap(triangles_);
  localMatrix_ = ModelMatrix{};
  useLocalMatrix_ = false;
}

// Indices from a file may exceed the arrays; such corners read as zeros.
ModelVector ModelMesh::corner(uint32_t index) const {
  return index < vertices_.size() ? vertex(static_cast<int>(index)) : ModelVector{};
}
ModelVector ModelMesh::cornerNormal(uint32_t index) const {
  return index < normals_.size() ? normal(static_cast<int>(index)) : ModelVector{};
}
ModelUv ModelMesh::cornerUv(uint32_t index) const {
  return index < uvs_.size() ? uv(static_cast<int>(index)) : ModelUv{};
}

DrawTriangle ModelMesh::drawTriangle(int i) const {
  TriangleIndices t = triangle(i);
  const uint32_t corners[3] = {t.a, t.b, t.c};
  DrawTriangle d;
  for (int k = 0; k < 3; ++k) {
    d.vertex[k] = corner(corners[k]);
    d.normal[k] = cornerNormal(corners[k]);
    d.uv[k] = cornerUv(corners[k]);
  }
  d.faceNormal = faceNormalOf(d.vertex[0], d.vertex[1], d.vertex[2]);
  return d;
}

ModelMatrix ModelMesh::localMatrix() const { return localMatrix_; }
void ModelMesh::setUseLocalMatrix(bool on) { useLocalMatrix_ = on; }
void ModelMesh::setLocalMatrix(const float values[12]) {
  std::memcpy(localMatrix_.m, values, sizeof localMatrix_.m);
}
