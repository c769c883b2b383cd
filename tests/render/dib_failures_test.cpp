// Failure paths of loadDibImage: the reported texts, and damaged files that
// must be refused or survived without reading outside the data.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "bmp_builder.h"
#include "render/bmp.h"
#include "render/dib_format.h"

namespace {

std::string loadAndCaptureError(const std::string& path, RgbImage** result = nullptr) {
  ::testing::internal::CaptureStderr();
  RgbImage* image = loadDibImage(path.c_str());
  std::string text = ::testing::internal::GetCapturedStderr();
  if (result) *result = image;
  else freeRgbImage(image);
  return text;
}

BmpLayout small24() {
  BmpLayout s;
  s.width = 2;
  s.height = 2;
  s.bits = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
  return s;
}

TEST(DibFailures, MissingFileNamesTheFileExactlyAsGiven) {
  std::string name = testScratchDir() + "no such dir\\missing.bmp";
  RgbImage* image = nullptr;
  EXPECT_EQ(loadAndCaptureError(name, &image), "Failed to open DIB file " + name + ".\n");
  EXPECT_EQ(image, nullptr);

  ::testing::internal::CaptureStderr();
  EXPECT_EQ(loadDibImageWide(L"gon\u00e9.bmp"), nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Failed to open DIB file gon\xC3\xA9.bmp.\n");
}

// A folder cannot be opened as a file and an empty file cannot be mapped.
TEST(DibFailures, FoldersAndEmptyFilesAreFilesThatCannotBeOpened) {
  for (const std::string& name : {testScratchDir(), writeTempFile("empty.bmp", {})})
    EXPECT_EQ(loadAndCaptureError(name), "Failed to open DIB file " + name + ".\n");
}

TEST(DibFailures, BackslashesInNamesActAsSeparators) {
  // The file just written, named through "\.\" instead of its last "/".
  const std::string path = writeTempFile("sep.bmp", bmpFile(small24()));
  const size_t slash = path.rfind('/');
  std::string windowsStyle = path.substr(0, slash) + "\\.\\" + path.substr(slash + 1);
  RgbImage* image = nullptr;
  EXPECT_EQ(loadAndCaptureError(windowsStyle, &image), "");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 2);
  freeRgbImage(image);
}

TEST(DibFailures, NewerHeaderVersionsAreAnUnknownFormat) {
  for (uint32_t size : {108u, 124u, 64u, 0u}) {
    BmpLayout s = small24();
    s.headerSize = size < 40 ? 40 : size;
    Bytes data = bmpFile(s);
    data[14] = size & 0xFF;
    EXPECT_EQ(loadAndCaptureError(writeTempFile("v.bmp", data)), "Unknown DIB file format.\n")
        << size;
  }
}

TEST(DibFailures, UnconvertibleContentReportsAConversionError) {
  std::vector<BmpLayout> cases(5, small24());
  cases[0].bitCount = 0;      // embedded JPEG or PNG
  cases[1].compression = 4;  // JPEG
  cases[2].compression = 1;  // run-length on a 24-bit bitmap
  cases[3].bits.resize(10);  // pixel rows cut short
  cases[4].width = 0;
  for (size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(loadAndCaptureError(writeTempFile("c.bmp", bmpFile(cases[i]))),
              "Image file conversion error.\n")
        << i;
  for (uint8_t offset : {0, 13, 53}) {  // pixel bits inside the headers
    Bytes data = bmpFile(small24());
    data[10] = offset;
    EXPECT_EQ(loadAndCaptureError(writeTempFile("o.bmp", data)), "Image file conversion error.\n")
        << int{offset};
  }
}

TEST(DibFailures, HugeDimensionsAreRefusedAsTooLarge) {
  BmpLayout s;
  s.bitCount = 8;
  s.compression = 1;
  s.width = 100000;
  s.height = 100000;
  s.palette = {0};
  s.colorsUsed = 1;
  s.bits = {0, 1};
  EXPECT_EQ(loadAndCaptureError(writeTempFile("huge.bmp", bmpFile(s))),
            "The picture is too large (at most 16384 pixels a side and 33554432 pixels in all).\n");
}

// A run-length stream that stops early, with or without its end codes, loads
// what it wrote and leaves the rest black; one that writes nothing is refused.
TEST(DibFailures, RunLengthStreamsEndingEarlyKeepTheRowsTheyWrote) {
  struct Case { uint32_t compression; Bytes bits; int rowsWritten; };
  const Case cases[] = {
      {1, {4, 1, 0, 0, 4, 1, 0, 0, 4, 1, 0, 0, 4, 1}, 4},  // the last row without end codes
      {1, {4, 1, 0, 0, 4, 1}, 2},                          // two rows, then nothing
      {2, {4, 0x11, 0, 0, 4, 0x11, 0, 0, 4, 0x11}, 3},
      {1, {4, 1, 0, 0, 4, 1, 0, 0, 0, 4, 1, 1}, 2},       // an absolute group cut short
      {1, {}, 0},
      {1, {0, 2, 1, 1}, 0},  // a move, then nothing
  };
  for (const Case& c : cases) {
    BmpLayout s;
    s.bitCount = c.compression == 1 ? 8 : 4;
    s.compression = c.compression;
    s.width = 4;
    s.height = 4;
    s.palette = {0, 0xFFFFFF};
    s.colorsUsed = 2;
    s.bits = c.bits;
    RgbImage* image = nullptr;
    const std::string error = loadAndCaptureError(writeTempFile("short.bmp", bmpFile(s)), &image);
    if (c.rowsWritten == 0) {
      EXPECT_EQ(error, "Image file conversion error.\n") << c.bits.size();
      continue;
    }
    EXPECT_EQ(error, "") << c.bits.size();
    ASSERT_NE(image, nullptr);
    for (int y = 0; y < 4; ++y)
      EXPECT_EQ(image->pixels[3 * (4 * y + 3)], y < c.rowsWritten ? 255 : 0) << c.bits.size() << " row " << y;
    freeRgbImage(image);
  }
}

// Parses and converts from an exactly sized heap copy, so that the
// sanitizer build sees any read past the end.
void decodeExact(const Bytes& data, size_t length) {
  std::unique_ptr<unsigned char[]> copy(new unsigned char[length ? length : 1]);
  if (length) std::memcpy(copy.get(), data.data(), length);
  DibSource source;
  RgbImage* image = nullptr;
  if (parseDib(copy.get(), length, source) == DibStatus::ok &&
      convertDib(source, image) == DibStatus::ok) {
    ASSERT_NE(image, nullptr);
    EXPECT_GT(image->width, 0);
    EXPECT_GT(image->height, 0);
  } else {
    EXPECT_EQ(image, nullptr);
  }
  freeRgbImage(image);
}

std::vector<Bytes> sampleFiles() {
  BmpLayout pal = small24();
  pal.bitCount = 4;
  pal.palette.assign(16, 0x123456);
  pal.bits = {0x12, 0, 0, 0, 0x34, 0, 0, 0};
  BmpLayout rle8;
  rle8.bitCount = 8;
  rle8.compression = 1;
  rle8.width = 5;
  rle8.height = 3;
  rle8.colorsUsed = 4;
  rle8.palette = {1, 2, 3, 4};
  rle8.bits = {2, 1, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 1, 5, 3, 0, 1};
  BmpLayout rle4 = rle8;
  rle4.bitCount = 4;
  rle4.compression = 2;
  BmpLayout masks = small24();
  masks.bitCount = 16;
  masks.compression = 3;
  masks.masks = {0xF800, 0x07E0, 0x001F};
  masks.bits.resize(8);
  BmpLayout core = pal;
  core.coreHeader = true;
  return {bmpFile(small24()), packedDib(small24()), bmpFile(pal), packedDib(core),
          bmpFile(rle8), bmpFile(rle4), bmpFile(masks), packedDib(masks)};
}

TEST(DibFailures, EveryTruncationOfValidFilesIsSurvived) {
  for (const Bytes& file : sampleFiles())
    for (size_t length = 0; length <= file.size(); ++length) decodeExact(file, length);
}

TEST(DibFailures, EveryByteFlipOfValidFilesIsSurvived) {
  for (const Bytes& file : sampleFiles()) {
    for (size_t at = 0; at < file.size(); ++at) {
      for (unsigned char flip : {0xFF, 0x80, 0x01}) {
        Bytes damaged = file;
        damaged[at] ^= flip;
        decodeExact(damaged, damaged.size());
      }
    }
  }
}

// A missing image size is derived from the sides; top-down rows count as
// positive, and sides whose size overflows the field leave it unknown.
TEST(DibFailures, DerivedImageSizeSurvivesEveryHeader) {
  struct Case { int32_t width, height; uint16_t bitCount; uint32_t expected; };
  const Case cases[] = {
      {3, 2, 24, 18},
      {3, -2, 24, 18},
      {13, 4, 16, 104},
      {0x7FFFFFFF, 0x7FFFFFFF, 0xFFFF, 0},
      {0x7FFFFFFF, -0x7FFFFFFF - 1, 32, 0},
      {-5, 3, 24, 0},
  };
  for (const Case& c : cases) {
    BmpLayout s;
    s.width = c.width;
    s.height = c.height;
    s.bitCount = c.bitCount;
    Bytes data = packedDib(s);
    DibSource source;
    ASSERT_EQ(parseDib(data.data(), data.size(), source), DibStatus::ok) << c.width;
    EXPECT_EQ(source.sizeImage, c.expected) << c.width << "x" << c.height;
  }
}

}  // namespace
