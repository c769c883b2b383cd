#include "tools/demovideo/box_ray.h"

#include <algorithm>
#include <cmath>

namespace {

// Entering the slab of one axis: the t range, and which face is crossed.
bool clipAxis(const Ray& ray, const TableBox& box, int axis, double* near, double* far, int* nearAxisFace) {
    const double lo = box.centre[axis] - box.size[axis] / 2, hi = box.centre[axis] + box.size[axis] / 2;
    const double o = ray.origin[axis], d = ray.dir[axis];
    if (d == 0.0) return o > lo && o < hi;
    double t0 = (lo - o) / d, t1 = (hi - o) / d;
    int face = 2 * axis + 1;  // the low face
    if (t0 > t1) {
        std::swap(t0, t1);
        face = 2 * axis;
    }
    if (t0 > *near) {
        *near = t0;
        *nearAxisFace = face;
    }
    *far = std::min(*far, t1);
    return *near < *far;
}

}  // namespace

bool rayHitsBox(const Ray& ray, const TableBox& box, double maxT, double* t, BoxFace* face) {
    double near = 0.0, far = maxT;
    int entered = -1;
    for (int axis = 0; axis < 3; ++axis)
        if (!clipAxis(ray, box, axis, &near, &far, &entered)) return false;
    if (entered < 0) return false;  // the ray starts inside
    *t = near;
    *face = static_cast<BoxFace>(entered);
    return true;
}

void faceCoordinates(const TableBox& box, BoxFace face, const double p[3], double* u, double* v) {
    const double* c = box.centre;
    const double* s = box.size;
    auto along = [&](int axis) { return (p[axis] - (c[axis] - s[axis] / 2)) / s[axis]; };
    const double up = along(2);
    switch (face) {
        case kFacePlusX: *u = along(1), *v = up; break;
        case kFaceMinusX: *u = 1.0 - along(1), *v = up; break;
        case kFacePlusY: *u = 1.0 - along(0), *v = up; break;
        case kFaceMinusY: *u = along(0), *v = up; break;
        default: *u = along(0), *v = along(1); break;
    }
    *u = std::clamp(*u, 0.0, 1.0);
    *v = std::clamp(*v, 0.0, 1.0);
}
