#include "render/dib_format.h"

#include <bit>

namespace {

struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
};

Channel channelOf(uint32_t mask) {
  Channel c;
  c.mask = mask;
  if (mask == 0) return c;
  c.shift = std::countr_zero(mask);
  c.bits = std::bit_width(mask >> c.shift);
  return c;
}

// Scales a channel value of any width to 8 bits by repeating its bits, so
// that the largest value of every width becomes 255.
unsigned char expandTo8(uint32_t value, int bits) {
  if (bits == 0) return 0;
  if (bits >= 8) return static_cast<unsigned char>(value >> (bits - 8));
  uint32_t out = 0;
  int filled = 0;
  while (filled < 8) {
    out = (out << bits) | value;
    filled += bits;
  }
  return static_cast<unsigned char>(out >> (filled - 8));
}

struct PixelWriter {
  RgbImage* image;
  void put(int64_t x, int64_t y, unsigned char r, unsigned char g, unsigned char b) {
    if (x < 0 || y < 0 || x >= image->width || y >= image->height) return;
    unsigned char* p = image->pixels + 3 * (y * image->width + x);
    p[0] = r;
    p[1] = g;
    p[2] = b;
  }
  void putIndex(const DibSource& s, int64_t x, int64_t y, uint32_t index) {
    if (index >= s.colorTable.size()) return put(x, y, 0, 0, 0);
    const auto& e = s.colorTable[index];
    put(x, y, e[2], e[1], e[0]);
  }
};

std::array<Channel, 3> channelsFor(const DibSource& s) {
  if (s.hasMasks)
    return {channelOf(s.masks[0]), channelOf(s.masks[1]), channelOf(s.masks[2])};
  if (s.bitCount == 16)
    return {channelOf(0x7C00), channelOf(0x03E0), channelOf(0x001F)};
  return {channelOf(0xFF0000), channelOf(0x00FF00), channelOf(0x0000FF)};
}

void convertRow(const DibSource& s, const unsigned char* row, int64_t y,
                const std::array<Channel, 3>& channels, PixelWriter& w) {
  for (int64_t x = 0; x < s.width; ++x) {
    switch (s.bitCount) {
      case 1: w.putIndex(s, x, y, (row[x >> 3] >> (7 - (x & 7))) & 1); break;
      case 4: w.putIndex(s, x, y, (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15); break;
      case 8: w.putIndex(s, x, y, row[x]); break;
      case 24: w.put(x, y, row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
      default: {
        uint32_t v = s.bitCount == 16 ? readLe16(row + 2 * x) : readLe32(row + 4 * x);
        unsigned char rgb[3];
        for (int c = 0; c < 3; ++c)
          rgb[c] = expandTo8((v & channels[c].mask) >> channels[c].shift, channels[c].bits);
        w.put(x, y, rgb[0], rgb[1], rgb[2]);
      }
    }
  }
}

bool convertUncompressed(const DibSource& s, int64_t rows, PixelWriter& w) {
  int64_t stride = ((static_cast<int64_t>(s.width) * s.bitCount + 31) / 32) * 4;
  if (stride * rows > static_cast<int64_t>(s.bitsSize)) return false;
  auto channels = channelsFor(s);
  for (int64_t r = 0; r < rows; ++r) {
    int64_t y = s.height > 0 ? r : rows - 1 - r;
    convertRow(s, s.bits + r * stride, y, channels, w);
  }
  return true;
}

// Run-length streams: runs and absolute groups per row, with escape codes
// 0 (end of row), 1 (end of picture) and 2 (move by dx, dy). A stream that
// stops early, with or without its end codes, keeps what it wrote (the rest
// stays black); only one that wrote no pixel at all fails.
class RleDecoder {
 public:
  RleDecoder(const DibSource& s, PixelWriter& w, bool nibbles)
      : s_(s), w_(w), nibbles_(nibbles), length_(s.bitsSize) {}

  bool run() { return decode() || wrote_; }

 private:
  bool decode() {
    while (y_ < s_.height) {
      if (pos_ + 2 > length_) return false;
      unsigned count = s_.bits[pos_], value = s_.bits[pos_ + 1];
      pos_ += 2;
      if (count > 0) {
        writeRun(count, value);
      } else if (value == 0) {
        x_ = 0;
        ++y_;
      } else if (value == 1) {
        return true;
      } else if (value == 2) {
        if (!moveBy()) return false;
      } else if (!writeAbsolute(value)) {
        return false;
      }
    }
    return true;
  }

  void writeIndex(unsigned index) {
    if (x_ >= 0 && x_ < s_.width) wrote_ = true;
    w_.putIndex(s_, x_++, y_, index);
  }

  void writeRun(unsigned count, unsigned value) {
    for (unsigned i = 0; i < count; ++i)
      writeIndex(nibbles_ ? ((i & 1) ? value & 15 : value >> 4) : value);
  }

  bool moveBy() {
    if (pos_ + 2 > length_) return false;
    x_ += s_.bits[pos_];
    y_ += s_.bits[pos_ + 1];
    pos_ += 2;
    return true;
  }

  bool writeAbsolute(unsigned count) {
    size_t bytes = nibbles_ ? (count + 1) / 2 : count;
    if (pos_ + bytes > length_) return false;
    for (unsigned i = 0; i < count; ++i) {
      unsigned char b = s_.bits[pos_ + (nibbles_ ? i / 2 : i)];
      writeIndex(nibbles_ ? ((i & 1) ? b & 15 : b >> 4) : b);
    }
    pos_ += bytes + (bytes & 1);  // groups end on a 16-bit boundary
    return true;
  }

  const DibSource& s_;
  PixelWriter& w_;
  bool nibbles_;
  size_t length_;
  size_t pos_ = 0;
  int64_t x_ = 0;
  int64_t y_ = 0;
  bool wrote_ = false;
};

bool formatIsConvertible(const DibSource& s) {
  switch (s.compression) {
    case kDibRgb:
      return s.bitCount == 1 || s.bitCount == 4 || s.bitCount == 8 ||
             s.bitCount == 16 || s.bitCount == 24 || s.bitCount == 32;
    case kDibRle8: return s.bitCount == 8 && s.height > 0;
    case kDibRle4: return s.bitCount == 4 && s.height > 0;
    case kDibBitFields: return s.bitCount == 16 || s.bitCount == 32;
    default: return false;
  }
}

}  // namespace

DibStatus convertDib(const DibSource& s, RgbImage*& out) {
  out = nullptr;
  int64_t rows = s.height < 0 ? -static_cast<int64_t>(s.height) : s.height;
  if (s.width <= 0 || rows == 0 || !formatIsConvertible(s))
    return DibStatus::conversionError;
  if (s.width > kMaxDibSide || rows > kMaxDibSide || s.width * rows > kMaxDibPixels)
    return DibStatus::tooLarge;
  RgbImage* image = createRgbImage(s.width, static_cast<int32_t>(rows));
  if (!image) return DibStatus::outOfMemory;
  PixelWriter writer{image};
  bool ok;
  if (s.compression == kDibRle8 || s.compression == kDibRle4)
    ok = RleDecoder(s, writer, s.compression == kDibRle4).run();
  else
    ok = convertUncompressed(s, rows, writer);
  if (!ok) {
    freeRgbImage(image);
    return DibStatus::conversionError;
  }
  out = image;
  return DibStatus::ok;
}
