#include <algorithm>
#include <array>
#include <cmath>

#include "model3ds/model_mesh.h"

namespace {

constexpr float kSamePlace = 0.0001f;
// Twice the merge distance, so that two vertices in the same place always
// lie in the same or neighbouring cells despite rounding.
constexpr double kCellsPerUnit = 5000.0;

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

using Cell = std::array<double, 3>;

// Adding 0.0 makes -0 and +0 the same cell. Kept in double, so huge
// coordinates cannot overflow an integer.
Cell cellOf(const ModelVector& v) {
  return {std::floor(v.x * kCellsPerUnit) + 0.0, std::floor(v.y * kCellsPerUnit) + 0.0,
          std::floor(v.z * kCellsPerUnit) + 0.0};
}

bool isFinite(const ModelVector& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Vertices sorted by cell, so that the vertices near a point are found by
// searching, not by comparing every pair (large models have 65535 vertices).
// A vertex with a non-finite coordinate is in the same place as none.
class VertexGrid {
 public:
  explicit VertexGrid(const std::vector<ModelVector>& vertices) {
    for (size_t i = 0; i < vertices.size(); ++i)
      if (isFinite(vertices[i])) entries_.push_back({cellOf(vertices[i]), static_cast<int>(i)});
    std::sort(entries_.begin(), entries_.end());
  }

  // Indices of the vertices in the cells around v, in increasing order.
  void near(const ModelVector& v, std::vector<int>& out) const {
    out.clear();
    if (!isFinite(v)) return;
    const Cell centre = cellOf(v);
    for (double dx : {-1.0, 0.0, 1.0})
      for (double dy : {-1.0, 0.0, 1.0})
        for (double dz : {-1.0, 0.0, 1.0}) addCell({centre[0] + dx, centre[1] + dy, centre[2] + dz}, out);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
  }

 private:
  struct Entry {
    Cell cell;
    int index;
    bool operator<(const Entry& other) const {
      return cell != other.cell ? cell < other.cell : index < other.index;
    }
  };

  void addCell(const Cell& cell, std::vector<int>& out) const {
    auto first = std::lower_bound(entries_.begin(), entries_.end(), Entry{cell, -1});
    for (auto e = first; e != entries_.end() && e->cell == cell; ++e) out.push_back(e->index);
  }

  std::vector<Entry> entries_;
};

// For every vertex, the first vertex with exactly its coordinates: those
// share one normal, which is worked out once (a damaged file can hold
// thousands of copies of one point).
std::vector<int> firstCopies(const std::vector<ModelVector>& vertices) {
  std::vector<int> first(vertices.size()), finite;
  for (size_t i = 0; i < first.size(); ++i) {
    first[i] = static_cast<int>(i);
    if (isFinite(vertices[i])) finite.push_back(static_cast<int>(i));
  }
  auto key = [&](int i) {
    const ModelVector& v = vertices[static_cast<size_t>(i)];
    return std::array<float, 3>{v.x, v.y, v.z};
  };
  std::stable_sort(finite.begin(), finite.end(), [&](int a, int b) { return key(a) < key(b); });
  for (size_t k = 1; k < finite.size(); ++k)
    if (key(finite[k]) == key(finite[k - 1])) first[finite[k]] = first[finite[k - 1]];
  return first;
}

}  // namespace

// Sums run over the vertices in the same place in increasing index order,
// so the result does not depend on how they are found.
void ModelMesh::computeNormals() {
  int n = vertexCount();
  if (n < 1) return;
  std::vector<ModelVector> faceNormals;
  faceNormals.reserve(static_cast<size_t>(triangleCount()));
  auto stored = [&](uint32_t v) { return v < vertices_.size() ? vertices_[v] : ModelVector{}; };
  for (const TriangleIndices& t : triangles_)
    faceNormals.push_back(faceNormalOf(stored(t.a), stored(t.b), stored(t.c)));
  std::vector<std::vector<int>> at = trianglesAtVertices(*this, n);

  const VertexGrid grid(vertices_);
  const std::vector<int> first = firstCopies(vertices_);
  std::vector<int> near;
  normals_.assign(static_cast<size_t>(n), ModelVector{});
  for (int i = 0; i < n; ++i) {
    if (first[i] != i) {
      normals_[i] = normals_[first[i]];
      continue;
    }
    ModelVector sum;
    grid.near(vertices_[i], near);
    for (int j : near) {
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
