#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One object of a generated model: per-vertex positions and texture
// coordinates, and triangles counter-clockwise seen from outside.
struct MeshData {
  std::string name;
  std::vector<std::array<float, 3>> vertices;
  std::vector<std::array<float, 2>> uvs;
  std::vector<std::array<uint16_t, 3>> faces;
};

// The bytes of a 3DS file: main chunk, editor block with one object per
// mesh (vertices, faces, mapping coordinates, identity local matrix), and
// an empty keyframe block. Empty when a mesh exceeds the format's counts.
std::vector<uint8_t> encodeModel3ds(const std::vector<MeshData>& meshes);
bool writeModel3ds(const std::string& path, const std::vector<MeshData>& meshes);
