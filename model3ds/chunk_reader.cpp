// Primitive reads on the file buffer and the chunk navigation. A read only
// succeeds when position + width is strictly below the buffer size.
#include <cstring>
#include <limits>

#include "model3ds/model3ds.h"

bool Model3ds::canRead(int width) const {
  return position_ >= 0 && int64_t{position_} + width < size_;
}

uint8_t Model3ds::readByte() {
  if (!canRead(1)) {
    readError_ = true;
    return 0;
  }
  return buffer_[static_cast<size_t>(position_++)];
}

uint16_t Model3ds::readU16() {
  if (!canRead(2)) {
    readError_ = true;
    return 0;
  }
  const unsigned char* p = buffer_.data() + position_;
  position_ += 2;
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

int32_t Model3ds::readI32() {
  if (!canRead(4)) {
    readError_ = true;
    return 0;
  }
  const unsigned char* p = buffer_.data() + position_;
  position_ += 4;
  uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
  return static_cast<int32_t>(v);
}

float Model3ds::readFloat() {
  if (!canRead(4)) {
    readError_ = true;
    return 0;
  }
  uint32_t bits = static_cast<uint32_t>(readI32());
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void Model3ds::readString(char* buffer, int& length, int capacity) {
  length = 0;
  if (position_ >= size_) {
    readError_ = true;
    return;
  }
  while (true) {
    uint8_t c = readByte();
    if (c == 0) break;
    if (length >= capacity - 1) break;  // the byte just read is dropped
    buffer[length++] = static_cast<char>(c);
  }
  if (capacity > 0) buffer[length] = '\0';
}

void Model3ds::seek(int32_t offset, int origin) {
  int64_t target = origin == kSeekCurrent ? int64_t{position_} + offset : offset;
  if (origin != kSeekSet && origin != kSeekCurrent) target = position_;
  if (target < 0) target = 0;
  readError_ = false;
  if (target >= size_) target = size_ > 0 ? size_ - 1 : 0;
  position_ = static_cast<int32_t>(target);
}

int32_t Model3ds::tell() const { return position_; }

ChunkRef Model3ds::readChunkHeader() {
  ChunkRef chunk;
  chunk.id = readU16();
  int64_t length = readI32();
  chunk.start = tell();
  int64_t end = chunk.start + length - 6;
  if (end > std::numeric_limits<int32_t>::max()) end = std::numeric_limits<int32_t>::max();
  if (end < std::numeric_limits<int32_t>::min()) end = std::numeric_limits<int32_t>::min();
  chunk.end = static_cast<int32_t>(end);
  return chunk;
}

// A header that ran off the end of the file, or whose length would move the
// walk backwards, ends every walk that meets it.
bool Model3ds::headerUsable(const ChunkRef& chunk) const {
  return !readError_ && chunk.end >= chunk.start;
}

void Model3ds::skipChunk(const ChunkRef& chunk) { seek(chunk.end, kSeekSet); }

bool Model3ds::findChunk(ChunkRef& target, const ChunkRef& parent) {
  if (tell() >= parent.end) return false;
  ChunkRef h = readChunkHeader();
  if (!headerUsable(h)) return false;
  while (h.id != target.id) {
    if (h.end > parent.end) return false;
    skipChunk(h);
    if (h.end >= parent.end) return false;
    h = readChunkHeader();
    if (!headerUsable(h)) return false;
  }
  target.start = h.start;
  target.end = h.end;
  return true;
}
