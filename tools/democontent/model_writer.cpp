#include "model_writer.h"

#include "platform/file_replace.h"

#include <cstdio>
#include <cstring>

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}

void put32(Bytes& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

void putFloat(Bytes& b, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  put32(b, bits);
}

Bytes chunk(uint16_t id, const Bytes& body) {
  Bytes b;
  put16(b, id);
  put32(b, static_cast<uint32_t>(body.size() + 6));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

void append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

Bytes meshBody(const MeshData& m) {
  Bytes vertices, faces, uvs, matrix, mesh;
  put16(vertices, static_cast<uint32_t>(m.vertices.size()));
  for (const auto& v : m.vertices)
    for (float f : v) putFloat(vertices, f);
  put16(faces, static_cast<uint32_t>(m.faces.size()));
  for (const auto& f : m.faces) {
    for (uint16_t i : f) put16(faces, i);
    put16(faces, 7);  // all three edges visible
  }
  put16(uvs, static_cast<uint32_t>(m.uvs.size()));
  for (const auto& t : m.uvs)
    for (float f : t) putFloat(uvs, f);
  for (float f : {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}) putFloat(matrix, f);
  append(mesh, chunk(0x4110, vertices));
  append(mesh, chunk(0x4120, faces));
  append(mesh, chunk(0x4140, uvs));
  append(mesh, chunk(0x4160, matrix));
  return mesh;
}

Bytes objectChunk(const MeshData& m) {
  Bytes body(m.name.begin(), m.name.end());
  body.push_back(0);
  append(body, chunk(0x4100, meshBody(m)));
  return chunk(0x4000, body);
}

}  // namespace

std::vector<uint8_t> encodeModel3ds(const std::vector<MeshData>& meshes) {
  Bytes version, editor, main;
  put32(version, 3);
  Bytes meshVersion;
  put32(meshVersion, 3);
  append(editor, chunk(0x3D3E, meshVersion));
  for (const MeshData& m : meshes) {
    if (m.vertices.size() > 0xFFFF || m.faces.size() > 0xFFFF || m.uvs.size() > 0xFFFF)
      return {};
    append(editor, objectChunk(m));
  }
  append(main, chunk(0x0002, version));
  append(main, chunk(0x3D3D, editor));
  append(main, chunk(0xB000, Bytes{}));
  return chunk(0x4D4D, main);
}

bool writeModel3ds(const std::string& path, const std::vector<MeshData>& meshes) {
  Bytes data = encodeModel3ds(meshes);
  if (data.empty()) return false;
  return replaceFile(path.c_str(), data.data(), data.size());
}
