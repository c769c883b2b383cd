#include "world/vec3.h"

#include <cmath>

Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(double s, const Vec3& v) { return {s * v.x, s * v.y, s * v.z}; }
Vec3 operator*(const Vec3& v, double s) { return {v.x * s, v.y * s, v.z * s}; }
Vec3 operator/(const Vec3& v, double s) { return {v.x / s, v.y / s, v.z / s}; }
bool operator==(const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

double length(const Vec3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

Vec3 normalized(const Vec3& v)
{
    const double len = length(v);
    if (len == 0.0) {
        return v;
    }
    return v / len;
}

void normalize(Vec3& v) { v = normalized(v); }

double angleBetween(const Vec3& a, const Vec3& b) { return std::acos(dot(normalized(a), normalized(b))); }

Vec3 projectOnto(const Vec3& v, const Vec3& a)
{
    const double len = length(a);
    return (dot(v, a) / (len * len)) * a;
}

double degToRad(double degrees) { return degrees / 180.0 * kPi; }
double radToDeg(double radians) { return radians * 180.0 / kPi; }

Vec3 rotateZ(Vec3& v, float degrees)
{
    const double r = degToRad(degrees);
    // volatile: GCC 12 at -O2 merges cos and sin into sincos and drops the
    // rounding to float, which changes every car's steering.
    const volatile float c = static_cast<float>(std::cos(r));
    const volatile float s = static_cast<float>(std::sin(r));
    const double x = c * v.x - s * v.y;
    const double y = s * v.x + c * v.y;
    v.x = x;
    v.y = y;
    return v;
}
