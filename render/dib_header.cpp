#include "render/dib_format.h"

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;

uint16_t tableCountForBits(uint16_t bitCount) {
  switch (bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

bool fits(size_t offset, size_t length, size_t size) {
  return offset <= size && length <= size - offset;
}

void readCoreHeader(const unsigned char* h, DibSource& out) {
  out.width = readLe16(h + 4);
  out.height = readLe16(h + 6);
  out.planes = readLe16(h + 8);
  out.bitCount = readLe16(h + 10);
}

void readInfoHeader(const unsigned char* h, DibSource& out) {
  out.width = static_cast<int32_t>(readLe32(h + 4));
  out.height = static_cast<int32_t>(readLe32(h + 8));
  out.planes = readLe16(h + 12);
  out.bitCount = readLe16(h + 14);
  out.compression = readLe32(h + 16);
  out.sizeImage = readLe32(h + 20);
  out.xPixelsPerMeter = static_cast<int32_t>(readLe32(h + 24));
  out.yPixelsPerMeter = static_cast<int32_t>(readLe32(h + 28));
  out.colorsUsed = readLe32(h + 32);
  out.colorsImportant = readLe32(h + 36);
}

void readTable(const unsigned char* table, uint16_t count, size_t entrySize,
               DibSource& out) {
  out.colorTable.resize(count);
  for (uint16_t i = 0; i < count; ++i) {
    const unsigned char* e = table + i * entrySize;
    out.colorTable[i] = {e[0], e[1], e[2], 0};
  }
}

// Bytes of the pixel rows, or 0 when a damaged header claims sides whose
// size does not fit the field. Top-down bitmaps count their rows as positive.
uint32_t derivedImageSize(const DibSource& s) {
  if (s.width <= 0) return 0;
  uint64_t rows = s.height < 0 ? 0 - static_cast<uint64_t>(static_cast<int64_t>(s.height))
                               : static_cast<uint64_t>(s.height);
  uint64_t rowBytes = (static_cast<uint64_t>(s.width) * s.bitCount + 7) / 8;
  if (rows != 0 && rowBytes > UINT32_MAX / rows) return 0;
  return static_cast<uint32_t>(rowBytes * rows);
}

void fillDerivedFields(uint16_t count, DibSource& out) {
  if (out.sizeImage == 0) out.sizeImage = derivedImageSize(out);
  if (out.colorsUsed == 0) out.colorsUsed = count;
}

// Reads the core or information header; returns the colour table's entry
// count and entry size through the last two arguments.
DibStatus readHeader(const unsigned char* data, size_t size, size_t headerAt, DibSource& out,
                     uint16_t& count, size_t& entrySize) {
  if (!fits(headerAt, 4, size)) return DibStatus::unknownFormat;
  const unsigned char* header = data + headerAt;
  uint32_t headerSize = readLe32(header);
  if (headerSize != kCoreHeaderSize && headerSize != kInfoHeaderSize)
    return DibStatus::unknownFormat;
  if (!fits(headerAt, headerSize, size)) return DibStatus::unknownFormat;
  if (headerSize == kCoreHeaderSize) {
    readCoreHeader(header, out);
    count = tableCountForBits(out.bitCount);
    entrySize = 3;
  } else {
    readInfoHeader(header, out);
    count = out.colorsUsed != 0 ? static_cast<uint16_t>(out.colorsUsed)
                                : tableCountForBits(out.bitCount);
    entrySize = 4;
  }
  return DibStatus::ok;
}

// Bit-field masks sit between an information header and its colour table.
bool readMasks(const unsigned char* data, size_t size, size_t& tableAt, DibSource& out) {
  if (!fits(tableAt, 12, size)) return false;
  for (int i = 0; i < 3; ++i) out.masks[i] = readLe32(data + tableAt + 4 * i);
  out.hasMasks = true;
  tableAt += 12;
  return true;
}

}  // namespace

DibStatus parseDib(const unsigned char* data, size_t size, DibSource& out) {
  out = DibSource{};
  bool fileHeader = size >= 2 && data[0] == 'B' && data[1] == 'M';
  size_t headerAt = fileHeader ? kFileHeaderSize : 0;
  uint16_t count = 0;
  size_t entrySize = 0;
  DibStatus status = readHeader(data, size, headerAt, out, count, entrySize);
  if (status != DibStatus::ok) return status;

  const size_t headersEnd = headerAt + (entrySize == 3 ? kCoreHeaderSize : kInfoHeaderSize);
  size_t tableAt = headersEnd;
  if (entrySize == 4 && out.compression == kDibBitFields && !readMasks(data, size, tableAt, out))
    return DibStatus::conversionError;
  size_t tableBytes = count * entrySize;
  if (!fits(tableAt, tableBytes, size)) return DibStatus::conversionError;
  readTable(data + tableAt, count, entrySize, out);
  fillDerivedFields(count, out);

  // Pixel bits inside the headers (an offset of 0, say) are no picture.
  size_t bitsAt = fileHeader ? readLe32(data + 10) : tableAt + tableBytes;
  if (bitsAt > size || bitsAt < headersEnd) return DibStatus::conversionError;
  out.bits = data + bitsAt;
  out.bitsSize = size - bitsAt;
  return DibStatus::ok;
}
