// Lines a x + b y + c = 0 with a unit normal (a, b), and the perspective view of a square, for
// the sub-pixel refinement.
#pragma once

// Signed distance of (x, y) from the line.
inline double lineDistance(const double line[3], double x, double y) { return line[0] * x + line[1] * y + line[2]; }
// The line through a and b, with (cx, cy) on its positive side.
void lineThrough(const double a[2], const double b[2], double cx, double cy, double line[3]);
// Where two lines meet; false when they are parallel or the point is not finite.
bool intersectLines(const double p[3], const double q[3], double point[2]);

// The view of the unit square whose corners (0, 0), (1, 0), (1, 1) and (0, 1) are seen at
// corners 0 to 3.
struct SquareView {
    double a, b, c, d, e, f, g, h;
};
// False when three corners are in line.
bool viewOfSquare(const double corners[4][2], SquareView* view);
void squarePointSeen(const SquareView& view, double u, double v, double point[2]);
