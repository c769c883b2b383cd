#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "model3ds/model_mesh.h"

namespace {

constexpr float kSamePlace = 0.0001f;
// Twice the merge distance, so that two vertices in the same place always
// lie in the same or neighbouring cells despite rounding.
constexpr double kCellsPerUnit = 5000.0;
// Work (distance tests and face normals added) a mesh may spend on merging
// exactly, per vertex and triangle it has; see computeNormals. A surface whose
// points lie further apart than the merge distance needs less: each vertex
// meets a few dozen others in the cells around it.
constexpr long long kExactWorkPerElement = 128;
// A cell with this few distinct points is never crowded: its exact cost is a
// small multiple of its neighbourhood's size, which each vertex meets only 27 times.
constexpr long long kFewPositions = 4;

bool samePlace(const ModelVector& p, const ModelVector& q) {
  return std::fabs(p.x - q.x) < kSamePlace && std::fabs(p.y - q.y) < kSamePlace &&
         std::fabs(p.z - q.z) < kSamePlace;
}

bool isFinite(const ModelVector& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// For every vertex, the triangles that have it as a corner, in triangle
// order and each once: the triangles of vertex v are at[first[v] .. first[v + 1]).
struct TrianglesAtVertices {
  std::vector<int> first;
  std::vector<int> at;

  int count(int v) const { return first[v + 1] - first[v]; }
};

template <typename Visit>
void forEachCorner(const std::vector<TriangleIndices>& triangles, size_t vertices, Visit visit) {
  for (size_t t = 0; t < triangles.size(); ++t) {
    const TriangleIndices& tri = triangles[t];
    if (tri.a < vertices) visit(tri.a, static_cast<int>(t));
    if (tri.b < vertices && tri.b != tri.a) visit(tri.b, static_cast<int>(t));
    if (tri.c < vertices && tri.c != tri.a && tri.c != tri.b) visit(tri.c, static_cast<int>(t));
  }
}

// Counted, then filled with first[] as the write cursor and shifted back.
TrianglesAtVertices trianglesAtVertices(const std::vector<TriangleIndices>& triangles, size_t vertices) {
  TrianglesAtVertices result;
  result.first.assign(vertices + 1, 0);
  forEachCorner(triangles, vertices, [&](uint32_t v, int) { ++result.first[v + 1]; });
  for (size_t v = 0; v < vertices; ++v) result.first[v + 1] += result.first[v];
  result.at.resize(static_cast<size_t>(result.first[vertices]));
  forEachCorner(triangles, vertices, [&](uint32_t v, int t) { result.at[static_cast<size_t>(result.first[v]++)] = t; });
  for (size_t v = vertices; v > 0; --v) result.first[v] = result.first[v - 1];
  result.first[0] = 0;
  return result;
}

// Cells of kCellsPerUnit to a unit, numbered from the lowest occupied cell on
// each axis. Cells more than 2^32 past it (a mesh 850,000 units across) share
// the last number, which only puts more candidates in front of the distance test.
struct CellNumbering {
  double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};

  static double cellOf(float v) { return std::floor(static_cast<double>(v) * kCellsPerUnit); }
  void include(const ModelVector& v) {
    low[0] = std::min(low[0], cellOf(v.x));
    low[1] = std::min(low[1], cellOf(v.y));
    low[2] = std::min(low[2], cellOf(v.z));
  }
  uint32_t number(float v, int axis) const {
    const double relative = cellOf(v) - low[axis];
    return relative >= 4294967295.0 ? UINT32_MAX : static_cast<uint32_t>(relative);
  }
};

struct Entry {
  uint32_t cell[3];
  int32_t vertex;
};

bool cellBefore(const Entry& a, const Entry& b) {
  if (a.cell[0] != b.cell[0]) return a.cell[0] < b.cell[0];
  if (a.cell[1] != b.cell[1]) return a.cell[1] < b.cell[1];
  return a.cell[2] < b.cell[2];
}
bool sameCell(const Entry& a, const Entry& b) {
  return a.cell[0] == b.cell[0] && a.cell[1] == b.cell[1] && a.cell[2] == b.cell[2];
}

// The finite vertices sorted by cell, then by position, then by index: the
// vertices of a cell form one run, and exact copies of a point lie side by
// side with the lowest index first. A vertex with a non-finite coordinate is
// in the same place as none.
class VertexCells {
 public:
  explicit VertexCells(const std::vector<ModelVector>& vertices) : vertices_(vertices) {
    CellNumbering cells;
    size_t finite = 0;
    for (const ModelVector& v : vertices)
      if (isFinite(v)) cells.include(v), ++finite;
    entries_.reserve(finite);
    for (size_t i = 0; i < vertices.size(); ++i) {
      const ModelVector& v = vertices[i];
      if (isFinite(v))
        entries_.push_back(
            {{cells.number(v.x, 0), cells.number(v.y, 1), cells.number(v.z, 2)}, static_cast<int32_t>(i)});
    }
    std::sort(entries_.begin(), entries_.end(), [this](const Entry& a, const Entry& b) { return before(a, b); });
  }

  int size() const { return static_cast<int>(entries_.size()); }
  // End of the run of entries in the same cell as entry `begin`.
  int runEnd(int begin) const {
    int end = begin + 1;
    while (end < size() && sameCell(entries_[static_cast<size_t>(end)], entries_[static_cast<size_t>(begin)])) ++end;
    return end;
  }
  int vertexAt(int k) const { return entries_[static_cast<size_t>(k)].vertex; }
  bool sameCopy(int k, int l) const { return samePosition(vertexAt(k), vertexAt(l)); }

  // Indices of the vertices in the 3 x 3 x 3 cells around the run starting at
  // entry `begin`, ascending unless `sorted` is false. Runs are asked for in order (starting again from
  // entry 0), so the start of each of the nine columns of neighbour cells is
  // found by a cursor that only moves forward.
  void block(int begin, std::vector<int>& out, bool sorted = true) {
    if (begin == 0) std::fill(std::begin(cursors_), std::end(cursors_), size_t{0});
    out.clear();
    const uint32_t* c = entries_[static_cast<size_t>(begin)].cell;
    for (int column = 0; column < 9; ++column) {
      const int64_t x = int64_t{c[0]} + column / 3 - 1, y = int64_t{c[1]} + column % 3 - 1;
      if (x < 0 || y < 0 || x > UINT32_MAX || y > UINT32_MAX) continue;
      const Entry low{{static_cast<uint32_t>(x), static_cast<uint32_t>(y), c[2] > 0 ? c[2] - 1 : 0}, 0};
      size_t& k = cursors_[column];
      while (k < entries_.size() && cellBefore(entries_[k], low)) ++k;
      for (size_t m = k; m < entries_.size(); ++m) {
        const Entry& e = entries_[m];
        if (e.cell[0] != low.cell[0] || e.cell[1] != low.cell[1] || int64_t{e.cell[2]} > int64_t{c[2]} + 1) break;
        out.push_back(e.vertex);
      }
    }
    if (sorted) std::sort(out.begin(), out.end());
  }

 private:
  bool samePosition(int a, int b) const {
    const ModelVector& p = vertices_[static_cast<size_t>(a)];
    const ModelVector& q = vertices_[static_cast<size_t>(b)];
    return p.x == q.x && p.y == q.y && p.z == q.z;
  }
  bool before(const Entry& a, const Entry& b) const {
    if (!sameCell(a, b)) return cellBefore(a, b);
    const ModelVector& p = vertices_[static_cast<size_t>(a.vertex)];
    const ModelVector& q = vertices_[static_cast<size_t>(b.vertex)];
    if (p.x != q.x) return p.x < q.x;
    if (p.y != q.y) return p.y < q.y;
    if (p.z != q.z) return p.z < q.z;
    return a.vertex < b.vertex;
  }

  const std::vector<ModelVector>& vertices_;
  std::vector<Entry> entries_;
  size_t cursors_[9] = {};
};

// The runs whose places count as crowded: none while merging every place
// exactly costs at most `budget`, else the costliest runs of more than
// kFewPositions distinct points until the rest fits.
std::vector<bool> crowdedRuns(VertexCells& cells, const TrianglesAtVertices& at, long long budget) {
  std::vector<std::pair<long long, int>> costs;  // exact cost, run number
  std::vector<int> block;
  long long total = 0;
  int runs = 0;
  for (int begin = 0, end = 0; begin < cells.size(); begin = end, ++runs) {
    end = cells.runEnd(begin);
    cells.block(begin, block, false);
    long long work = static_cast<long long>(block.size()), positions = 0;
    for (int j : block) work += at.count(j);
    for (int k = begin; k < end; ++k) positions += k == begin || !cells.sameCopy(k - 1, k);
    if (positions <= kFewPositions) continue;
    costs.push_back({positions * work, runs});
    total += positions * work;
  }
  std::vector<bool> crowded(static_cast<size_t>(runs), false);
  std::sort(costs.begin(), costs.end(), std::greater<>());
  for (size_t i = 0; i < costs.size() && total > budget; ++i) {
    crowded[static_cast<size_t>(costs[i].second)] = true;
    total -= costs[i].first;
  }
  return crowded;
}

void addTo(ModelVector& sum, const ModelVector& v) {
  sum.x += v.x;
  sum.y += v.y;
  sum.z += v.z;
}

}  // namespace

// Sums run in index and triangle order, exactly as comparing every pair of vertices would;
// where that would take quadratic time, a crowded cell is merged with the cells around it
// (at most 0.0004 wide) instead. Exact copies of a point share the normal of the first.
void ModelMesh::computeNormals() {
  int n = vertexCount();
  if (n < 1) return;
  const TrianglesAtVertices at = trianglesAtVertices(triangles_, vertices_.size());
  auto stored = [&](uint32_t v) { return v < vertices_.size() ? vertices_[v] : ModelVector{}; };
  std::vector<ModelVector> faceNormals;
  faceNormals.reserve(triangles_.size());
  for (const TriangleIndices& t : triangles_)
    faceNormals.push_back(faceNormalOf(stored(t.a), stored(t.b), stored(t.c)));
  auto addFaces = [&](ModelVector& sum, int j) {
    for (int k = at.first[j]; k < at.first[j + 1]; ++k)
      addTo(sum, faceNormals[static_cast<size_t>(at.at[static_cast<size_t>(k)])]);
  };

  VertexCells cells(vertices_);
  const long long budget = kExactWorkPerElement * static_cast<long long>(vertices_.size() + triangles_.size());
  const std::vector<bool> crowded = crowdedRuns(cells, at, budget);
  normals_.assign(static_cast<size_t>(n), ModelVector{});
  std::vector<int> block;
  for (int begin = 0, end = 0, run = 0; begin < cells.size(); begin = end, ++run) {
    end = cells.runEnd(begin);
    cells.block(begin, block);
    if (crowded[static_cast<size_t>(run)]) {
      ModelVector sum;
      for (int j : block) addFaces(sum, j);
      const ModelVector normal = normalizeVector(sum);
      for (int k = begin; k < end; ++k) normals_[static_cast<size_t>(cells.vertexAt(k))] = normal;
      continue;
    }
    for (int k = begin; k < end; ++k) {
      const int i = cells.vertexAt(k);
      if (k > begin && cells.sameCopy(k - 1, k)) {
        normals_[static_cast<size_t>(i)] = normals_[static_cast<size_t>(cells.vertexAt(k - 1))];
        continue;
      }
      ModelVector sum;
      for (int j : block)
        if (samePlace(vertices_[static_cast<size_t>(i)], vertices_[static_cast<size_t>(j)])) addFaces(sum, j);
      normals_[static_cast<size_t>(i)] = normalizeVector(sum);
    }
  }
}
