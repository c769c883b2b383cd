#include <cmath>

#include "car_design.h"

namespace {

using Point = std::array<float, 3>;
constexpr double kPi = 3.14159265358979323846;
// Texture coordinates stay half a texel inside their area so that filtering
// does not pick up the neighbouring area.
constexpr float kInset = 0.5f / kTextureSize;

Point sub(const Point& a, const Point& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Point cross(const Point& a, const Point& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
float dot(const Point& a, const Point& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

std::array<float, 2> uvIn(const UvRect& r, float s, float t) {
  float u0 = r.u0 + kInset, u1 = r.u1 - kInset, v0 = r.v0 + kInset, v1 = r.v1 - kInset;
  return {u0 + (u1 - u0) * s, v0 + (v1 - v0) * t};
}

uint16_t addVertex(MeshData& m, const Point& p, std::array<float, 2> uv) {
  m.vertices.push_back(p);
  m.uvs.push_back(uv);
  return static_cast<uint16_t>(m.vertices.size() - 1);
}

// Adds a triangle wound so that its front faces along outward.
void addTriangle(MeshData& m, uint16_t a, uint16_t b, uint16_t c, const Point& outward) {
  Point n = cross(sub(m.vertices[b], m.vertices[a]), sub(m.vertices[c], m.vertices[a]));
  if (dot(n, outward) < 0) std::swap(b, c);
  m.faces.push_back({a, b, c});
}

// A quad given around its edge; its texture spans the whole area, with
// corner k at area corner (0,0), (1,0), (1,1), (0,1).
void addQuad(MeshData& m, const std::array<Point, 4>& q, const UvRect& area, const Point& outward) {
  const float s[4] = {0, 1, 1, 0}, t[4] = {0, 0, 1, 1};
  uint16_t i[4];
  for (int k = 0; k < 4; ++k) i[k] = addVertex(m, q[k], uvIn(area, s[k], t[k]));
  addTriangle(m, i[0], i[1], i[2], outward);
  addTriangle(m, i[0], i[2], i[3], outward);
}

// A box-like block whose top may be narrower than its bottom.
struct Block {
  float x0, x1, y0, y1, z0;      // bottom rectangle
  float tx0, tx1, ty0, ty1, z1;  // top rectangle
};

MeshData blockMesh(const std::string& name, const Block& b, const UvRect& sides,
                   const UvRect& ends, const UvRect& top) {
  MeshData m{name, {}, {}, {}};
  Point bottom[4] = {{b.x0, b.y0, b.z0}, {b.x1, b.y0, b.z0}, {b.x1, b.y1, b.z0}, {b.x0, b.y1, b.z0}};
  Point upper[4] = {{b.tx0, b.ty0, b.z1}, {b.tx1, b.ty0, b.z1}, {b.tx1, b.ty1, b.z1}, {b.tx0, b.ty1, b.z1}};
  addQuad(m, {bottom[0], bottom[1], upper[1], upper[0]}, sides, {0, -1, 0});
  addQuad(m, {bottom[2], bottom[3], upper[3], upper[2]}, sides, {0, 1, 0});
  addQuad(m, {bottom[3], bottom[0], upper[0], upper[3]}, ends, {-1, 0, 0});
  addQuad(m, {bottom[1], bottom[2], upper[2], upper[1]}, ends, {1, 0, 0});
  addQuad(m, {upper[0], upper[1], upper[2], upper[3]}, top, {0, 0, 1});
  return m;
}

// An eight-sided wheel turning about the y axis, its lowest point on z = 0;
// side is -1 for the car's left (-y), +1 for its right (+y).
MeshData wheelMesh(const std::string& name, float cx, float side) {
  const float radius = 2.0f, cz = 2.0f, inner = 3.0f * side, outer = 5.0f * side;
  MeshData m{name, {}, {}, {}};
  auto rim = [&](int k, float y) {
    double a = 2 * kPi * k / 8;
    return Point{cx + radius * float(std::sin(a)), y, cz - radius * float(std::cos(a))};
  };
  for (int k = 0; k < 8; ++k) {
    Point mid = rim(k, 0);
    Point outward{mid[0] - cx + rim(k + 1, 0)[0] - cx, 0, mid[2] - cz + rim(k + 1, 0)[2] - cz};
    addQuad(m, {rim(k, inner), rim(k + 1, inner), rim(k + 1, outer), rim(k, outer)}, kTyreArea,
            outward);
  }
  uint16_t hub = addVertex(m, {cx, outer, cz}, uvIn(kHubArea, 0.5f, 0.5f));
  for (int k = 0; k < 8; ++k) {
    double a0 = 2 * kPi * k / 8, a1 = 2 * kPi * (k + 1) / 8;
    uint16_t p = addVertex(m, rim(k, outer), uvIn(kHubArea, 0.5f + 0.5f * float(std::sin(a0)),
                                                  0.5f - 0.5f * float(std::cos(a0))));
    uint16_t q = addVertex(m, rim(k + 1, outer), uvIn(kHubArea, 0.5f + 0.5f * float(std::sin(a1)),
                                                      0.5f - 0.5f * float(std::cos(a1))));
    addTriangle(m, hub, p, q, {0, side, 0});
  }
  return m;
}

}  // namespace

std::vector<MeshData> buildCarMeshes(bool rearWing) {
  Block body{-11, 11, -4.5f, 4.5f, 1.5f, -11, 11, -4.5f, 4.5f, 5};
  Block cabin{-3, 7, -4, 4, 5, -1, 5.5f, -3.3f, 3.3f, 8};
  std::vector<MeshData> meshes{
          blockMesh("body", body, kSideArea, kNoseArea, kHoodArea),
          blockMesh("cabin", cabin, kGlassArea, kGlassArea, kHoodArea),
          wheelMesh("wheel front left", -7, -1),
          wheelMesh("wheel front right", -7, 1),
          wheelMesh("wheel rear left", 7, -1),
          wheelMesh("wheel rear right", 7, 1)};
  if (rearWing) {
    Block wing{8.5f, 11, -4.5f, 4.5f, 5, 9.5f, 11, -4.5f, 4.5f, 7.5f};
    meshes.push_back(blockMesh("rear wing", wing, kHoodArea, kHoodArea, kHoodArea));
  }
  return meshes;
}
