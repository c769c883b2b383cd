#include "tracking/plane_lines.h"

#include <cmath>

void lineThrough(const double a[2], const double b[2], double cx, double cy, double line[3]) {
    double la = b[1] - a[1], lb = a[0] - b[0], n = std::hypot(la, lb);
    line[0] = la / n, line[1] = lb / n, line[2] = -(line[0] * a[0] + line[1] * a[1]);
    if (lineDistance(line, cx, cy) < 0)
        for (int i = 0; i < 3; i++) line[i] = -line[i];
}

bool intersectLines(const double p[3], const double q[3], double point[2]) {
    double w = p[0] * q[1] - q[0] * p[1];
    if (w == 0.0) return false;
    point[0] = (p[1] * q[2] - q[1] * p[2]) / w;
    point[1] = (q[0] * p[2] - p[0] * q[2]) / w;
    return std::isfinite(point[0]) && std::isfinite(point[1]);
}

bool viewOfSquare(const double corners[4][2], SquareView* s) {
    const double(*c)[2] = corners;
    double sx = c[0][0] - c[1][0] + c[2][0] - c[3][0], sy = c[0][1] - c[1][1] + c[2][1] - c[3][1];
    double dx1 = c[1][0] - c[2][0], dx2 = c[3][0] - c[2][0], dy1 = c[1][1] - c[2][1], dy2 = c[3][1] - c[2][1];
    double den = dx1 * dy2 - dx2 * dy1;
    if (!(std::fabs(den) > 0)) return false;
    s->g = (sx * dy2 - dx2 * sy) / den;
    s->h = (dx1 * sy - sx * dy1) / den;
    s->a = c[1][0] - c[0][0] + s->g * c[1][0];
    s->b = c[3][0] - c[0][0] + s->h * c[3][0];
    s->c = c[0][0];
    s->d = c[1][1] - c[0][1] + s->g * c[1][1];
    s->e = c[3][1] - c[0][1] + s->h * c[3][1];
    s->f = c[0][1];
    return std::isfinite(s->g) && std::isfinite(s->h);
}

void squarePointSeen(const SquareView& s, double u, double v, double point[2]) {
    double w = s.g * u + s.h * v + 1.0;
    point[0] = (s.a * u + s.b * v + s.c) / w;
    point[1] = (s.d * u + s.e * v + s.f) / w;
}
