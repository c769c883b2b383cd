#pragma once

// Three-component vector of the race world (marker frame, world units).
struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

inline constexpr double kPi = 3.141592653589793;

Vec3 operator+(const Vec3& a, const Vec3& b);
Vec3 operator-(const Vec3& a, const Vec3& b);
Vec3 operator*(double s, const Vec3& v);
Vec3 operator*(const Vec3& v, double s);
Vec3 operator/(const Vec3& v, double s);  // no guard against s == 0
bool operator==(const Vec3& a, const Vec3& b);

double dot(const Vec3& a, const Vec3& b);
double length(const Vec3& v);
// A vector of length exactly 0 is returned (or left) unchanged.
Vec3 normalized(const Vec3& v);
void normalize(Vec3& v);
// Radians; the cosine is not clamped, so rounding may yield NaN.
double angleBetween(const Vec3& a, const Vec3& b);
Vec3 projectOnto(const Vec3& v, const Vec3& a);

double degToRad(double degrees);
double radToDeg(double radians);

// Turns v in place counter-clockwise about +z; cosine and sine are rounded
// to float first, so small errors accumulate over many turns.
Vec3 rotateZ(Vec3& v, float degrees);
