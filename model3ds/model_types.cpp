#include "model3ds/model_types.h"

#include <cmath>

ModelVector normalizeVector(ModelVector v) {
  float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (length != 0.0f) {
    v.x /= length;
    v.y /= length;
    v.z /= length;
  }
  return v;
}

// (B - A) x (C - A), formed as (B - C) x (B - A), which is the same vector.
ModelVector faceNormalOf(const ModelVector& a, const ModelVector& b, const ModelVector& c) {
  ModelVector p{b.x - c.x, b.y - c.y, b.z - c.z};
  ModelVector q{b.x - a.x, b.y - a.y, b.z - a.z};
  ModelVector n{p.y * q.z - p.z * q.y, p.z * q.x - p.x * q.z, p.x * q.y - p.y * q.x};
  return normalizeVector(n);
}
