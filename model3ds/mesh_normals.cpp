#include <cmath>

#include "model3ds/model_mesh.h"

namespace {

constexpr float kSamePlace = 0.0001f;

bool samePlace(const ModelVector& p, const ModelVector& q) {
  return std::fabs(p.x - q.x) < kSamePlace && std::fabs(p.y - q.y) < kSamePlace &&
         std::fabs(p.z - q.z) < kSamePlace;
}

// For every vertex, the triangles that have it as a corner, in triangle
// order and each once.
std::vector<std::vector<int>> trianglesAtVertices(const ModelMesh& mesh, int vertices) {
  std::vector<std::vector<int>> at(static_cast<size_t>(vertices));
  for (int t = 0; t < mesh.triangleCount(); ++t) {
    TriangleIndices tri = mesh.triangle(t);
    for (uint32_t v : {tri.a, tri.b, tri.c}) {
      if (v >= at.size()) continue;
      std::vector<int>& list = at[v];
      if (list.empty() || list.back() != t) list.push_back(t);
    }
  }
  return at;
}

}  // namespace

void ModelMesh::computeNormals() {
  int n = vertexCount();
  if (n < 1) return;
  std::vector<ModelVector> faceNormals;
  faceNormals.reserve(static_cast<size_t>(triangleCount()));
  auto stored = [&](uint32_t v) { return v < vertices_.size() ? vertices_[v] : ModelVector{}; };
  for (const TriangleIndices& t : triangles_)
    faceNormals.push_back(faceNormalOf(stored(t.a), stored(t.b), stored(t.c)));
  std::vector<std::vector<int>> at = trianglesAtVertices(*this, n);

  normals_.assign(static_cast<size_t>(n), ModelVector{});
  for (int i = 0; i < n; ++i) {
    ModelVector sum;
    for (int j = 0; j < n; ++j) {
      if (!samePlace(vertices_[i], vertices_[j])) continue;
      for (int t : at[j]) {
        sum.x += faceNormals[t].x;
        sum.y += faceNormals[t].y;
        sum.z += faceNormals[t].z;
      }
    }
    normals_[i] = normalizeVector(sum);
  }
}
