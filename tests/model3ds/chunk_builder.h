#pragma once
// Builds 3DS chunk trees byte by byte so that tests control every length.

#include <cstdint>
#include <array>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

inline void put16(Bytes& b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
inline void put32(Bytes& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}
inline void putFloat(Bytes& b, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  put32(b, bits);
}

// A chunk whose length field is right unless lengthOverride says otherwise.
inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline Bytes chunk(uint16_t id, const std::vector<Bytes>& parts, int64_t lengthOverride = -1) {
  Bytes body;
  for (const Bytes& p : parts) body.insert(body.end(), p.begin(), p.end());
  Bytes b;
  put16(b, id);
  put32(b, static_cast<uint32_t>(lengthOverride >= 0 ? lengthOverride : body.size() + 6));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

inline Bytes cString(const std::string& s) {
  Bytes b(s.begin(), s.end());
  b.push_back(0);
  return b;
}

inline Bytes floats(std::initializer_list<float> values) {
  Bytes b;
  for (float v : values) putFloat(b, v);
  return b;
}

inline Bytes vertexList(const std::vector<std::array<float, 3>>& v) {
  Bytes b;
  put16(b, static_cast<uint32_t>(v.size()));
  for (const auto& p : v) b = b + floats({p[0], p[1], p[2]});
  return chunk(0x4110, {b});
}

inline Bytes faceList(const std::vector<std::array<uint16_t, 3>>& faces) {
  Bytes b;
  put16(b, static_cast<uint32_t>(faces.size()));
  for (const auto& f : faces) {
    put16(b, f[0]);
    put16(b, f[1]);
    put16(b, f[2]);
    put16(b, 7);
  }
  return chunk(0x4120, {b});
}

inline Bytes uvList(const std::vector<std::array<float, 2>>& uvs) {
  Bytes b;
  put16(b, static_cast<uint32_t>(uvs.size()));
  for (const auto& t : uvs) b = b + floats({t[0], t[1]});
  return chunk(0x4140, {b});
}

inline Bytes meshObject(const std::string& name, const std::vector<Bytes>& meshParts) {
  return chunk(0x4000, {cString(name), chunk(0x4100, meshParts)});
}

// A whole file: main chunk with the editor block, then a keyframe chunk so
// that the editor does not run to the last byte.
inline Bytes modelFile(const std::vector<Bytes>& objects, bool keyframes = true) {
  Bytes editor = chunk(0x3D3D, objects);
  std::vector<Bytes> mainParts{chunk(0x0002, {Bytes{3, 0, 0, 0}}), editor};
  if (keyframes) mainParts.push_back(chunk(0xB000, {Bytes(8, 0)}));
  return chunk(0x4D4D, mainParts);
}
