#pragma once
#include <cstdint>
#include <vector>

#include "model3ds/model_object.h"
#include "model3ds/model_types.h"

// A triangle mesh: vertices, per-vertex normals and texture coordinates, and
// triangles that index the vertices.
class ModelMesh : public ModelObject {
 public:
  ModelMesh() = default;

  virtual int vertexCount() const;
  virtual int uvCount() const;
  virtual int normalCount() const;
  virtual int triangleCount() const;
  virtual int faceCount() const;
  // Getters return zeros for an index not below the count; a negative index
  // reads element 0 (zeros when there is none).
  virtual ModelVector vertex(int i) const;
  virtual ModelVector normal(int i) const;
  virtual ModelUv uv(int i) const;
  virtual void addVertex(float x, float y, float z);
  virtual void addNormal(float x, float y, float z);
  virtual void addUv(float u, float v);
  virtual void clearMesh();
  virtual void addTriangle(uint32_t a, uint32_t b, uint32_t c);
  virtual TriangleIndices triangle(int i) const;
  virtual DrawTriangle drawTriangle(int i) const;
  virtual ModelMatrix localMatrix() const;
  virtual void setUseLocalMatrix(bool on);
  virtual void setLocalMatrix(const float values[12]);
  // Per-vertex normals: the sum of the unit face normals of every triangle
  // at a vertex in the same place, normalised.
  virtual void computeNormals();

  bool usesLocalMatrix() const { return useLocalMatrix_; }
  // Room for this many more vertices, triangles and texture coordinates: the
  // exact number for a mesh's first list, so a read mesh holds no spare room.
  void reserveMore(int vertices, int triangles, int uvs);
  // Gives back room that several lists of one mesh left unused.
  void releaseSpareRoom();

 private:
  template <typename T>
  static T element(const std::vector<T>& items, int i);
  ModelVector corner(uint32_t index) const;
  ModelVector cornerNormal(uint32_t index) const;
  ModelUv cornerUv(uint32_t index) const;

  bool useLocalMatrix_ = false;
  std::vector<ModelVector> vertices_;
  std::vector<ModelVector> normals_;
  std::vector<ModelUv> uvs_;
  std::vector<TriangleIndices> triangles_;
  ModelMatrix localMatrix_;
};
