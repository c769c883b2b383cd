#pragma once
// Rays against the boxes that stand on the table.
#include "tools/demovideo/demo_table.h"

struct Ray {
    double origin[3];
    double dir[3];
};

// Faces of a box: +x, -x, +y, -y, top, bottom.
enum BoxFace { kFacePlusX, kFaceMinusX, kFacePlusY, kFaceMinusY, kFaceTop, kFaceBottom };

// Nearest entry of the ray into the box with 0 < t < maxT: its t and face.
bool rayHitsBox(const Ray& ray, const TableBox& box, double maxT, double* t, BoxFace* face);

// Where a point on a face lies on it: u across, v up the side (or along y on
// the top), both 0..1.
void faceCoordinates(const TableBox& box, BoxFace face, const double point[3], double* u, double* v);
