#pragma once
#include <cstdint>

struct ModelVector {
  float x = 0, y = 0, z = 0;
};

struct ModelUv {
  float u = 0, v = 0;
};

// Vertex indices of one triangle, in file order.
struct TriangleIndices {
  uint32_t a = 0, b = 0, c = 0;
};

// One triangle ready to draw: corners a, b, c with their normals and
// texture coordinates, and the face normal.
struct DrawTriangle {
  ModelVector vertex[3];
  ModelVector normal[3];
  ModelUv uv[3];
  ModelVector faceNormal;
};

// Four rows of three: x axis, y axis, z axis, origin.
struct ModelMatrix {
  float m[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
};

// Unit vector in single precision; a zero vector stays zero.
ModelVector normalizeVector(ModelVector v);

// Unit normal of the triangle A, B, C, counter-clockwise seen from its front.
ModelVector faceNormalOf(const ModelVector& a, const ModelVector& b, const ModelVector& c);
