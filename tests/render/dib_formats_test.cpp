// Pixel formats and header variants that loadDibImage converts.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "bmp_builder.h"
#include "render/bmp.h"

namespace {

struct ImageDeleter {
  void operator()(RgbImage* image) const { freeRgbImage(image); }
};
using ImagePtr = std::unique_ptr<RgbImage, ImageDeleter>;

ImagePtr loadBytes(const std::string& name, const Bytes& data) {
  return ImagePtr(loadDibImage(writeTempFile(name, data).c_str()));
}

std::vector<int> pixel(const RgbImage& image, int x, int y) {
  const unsigned char* p = image.pixels + 3 * (y * image.width + x);
  return {p[0], p[1], p[2]};
}

std::vector<int> rgb(uint32_t c) {
  return {static_cast<int>(c >> 16), static_cast<int>((c >> 8) & 0xFF),
          static_cast<int>(c & 0xFF)};
}

// Two rows of three 24-bit pixels; each stored row is padded to 12 bytes.
BmpLayout threeWide24() {
  BmpLayout s;
  s.width = 3;
  s.height = 2;
  s.bits = {10, 20, 30, 1, 2, 3, 4, 5, 6, 0xAA, 0xAA, 0xAA,
            7,  8,  9,  11, 12, 13, 14, 15, 16, 0xAA, 0xAA, 0xAA};
  return s;
}

TEST(DibFormats, TwentyFourBitRowsLoseTheirPaddingAndTurnIntoRgb) {
  ImagePtr image = loadBytes("w3.bmp", bmpFile(threeWide24()));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 3);
  EXPECT_EQ(image->height, 2);
  EXPECT_EQ(pixel(*image, 0, 0), (std::vector<int>{30, 20, 10}));
  EXPECT_EQ(pixel(*image, 2, 0), (std::vector<int>{6, 5, 4}));
  // Row 1 starts right after the 9 bytes of row 0: the padding is gone.
  EXPECT_EQ(pixel(*image, 0, 1), (std::vector<int>{9, 8, 7}));
  EXPECT_EQ(pixel(*image, 2, 1), (std::vector<int>{16, 15, 14}));
}

TEST(DibFormats, PackedBitmapAndFileWithGapLoadTheSamePixels) {
  BmpLayout s = threeWide24();
  ImagePtr withHeader = loadBytes("h.bmp", bmpFile(s));
  ImagePtr withGap = loadBytes("g.bmp", bmpFile(s, 10));
  ImagePtr packed = loadBytes("p.dib", packedDib(s));
  ASSERT_TRUE(withHeader && withGap && packed);
  for (const ImagePtr* other : {&withGap, &packed}) {
    ASSERT_EQ((*other)->width, 3);
    ASSERT_EQ((*other)->height, 2);
    EXPECT_EQ(0, std::memcmp(withHeader->pixels, (*other)->pixels, 18));
  }
}

TEST(DibFormats, PaletteSizeFollowsColorsUsedOrTheBitCount) {
  BmpLayout full;
  full.bitCount = 8;
  full.width = 2;
  full.palette.assign(256, 0);
  full.palette[5] = 0x102030;
  full.palette[200] = 0x405060;
  full.bits = {5, 200, 0, 0};
  ImagePtr a = loadBytes("p256.dib", packedDib(full));
  ASSERT_TRUE(a);
  EXPECT_EQ(pixel(*a, 0, 0), rgb(0x102030));
  EXPECT_EQ(pixel(*a, 1, 0), rgb(0x405060));

  // With 16 entries the packed bits start right after them.
  BmpLayout small = full;
  small.colorsUsed = 16;
  small.palette.resize(16);
  small.bits = {5, 3, 0, 0};
  small.palette[3] = 0xFFEEDD;
  ImagePtr b = loadBytes("p16.dib", packedDib(small));
  ASSERT_TRUE(b);
  EXPECT_EQ(pixel(*b, 0, 0), rgb(0x102030));
  EXPECT_EQ(pixel(*b, 1, 0), rgb(0xFFEEDD));
}

TEST(DibFormats, IndexBeyondTheColourTableIsBlack) {
  BmpLayout s;
  s.bitCount = 8;
  s.colorsUsed = 2;
  s.palette = {0xFFFFFF, 0xFFFFFF};
  s.bits = {7, 0, 0, 0};
  ImagePtr image = loadBytes("idx.bmp", bmpFile(s));
  ASSERT_TRUE(image);
  EXPECT_EQ(pixel(*image, 0, 0), rgb(0));
}

TEST(DibFormats, OneAndFourBitPixelsReadMostSignificantBitsFirst) {
  BmpLayout mono;
  mono.bitCount = 1;
  mono.width = 10;
  mono.palette = {0x000000, 0xFFFFFF};
  mono.bits = {0b10100000, 0b01000000, 0, 0};
  ImagePtr m = loadBytes("mono.bmp", bmpFile(mono));
  ASSERT_TRUE(m);
  std::vector<int> expected{1, 0, 1, 0, 0, 0, 0, 0, 0, 1};
  for (int x = 0; x < 10; ++x) EXPECT_EQ(pixel(*m, x, 0)[0], expected[x] * 255) << x;

  BmpLayout nib;
  nib.bitCount = 4;
  nib.width = 3;
  nib.palette.assign(16, 0);
  nib.palette[1] = 0x010101;
  nib.palette[2] = 0x020202;
  nib.palette[15] = 0x0F0F0F;
  nib.bits = {0x12, 0xF0, 0, 0};
  ImagePtr n = loadBytes("nib.bmp", bmpFile(nib));
  ASSERT_TRUE(n);
  EXPECT_EQ(pixel(*n, 0, 0)[0], 1);
  EXPECT_EQ(pixel(*n, 1, 0)[0], 2);
  EXPECT_EQ(pixel(*n, 2, 0)[0], 15);
}

TEST(DibFormats, CoreHeaderUsesThreeByteTableEntries) {
  BmpLayout s;
  s.coreHeader = true;
  s.bitCount = 8;
  s.width = 2;
  s.palette.assign(256, 0);
  s.palette[1] = 0xA0B0C0;
  s.palette[255] = 0x0A0B0C;
  s.bits = {1, 255, 0, 0};
  for (const Bytes& data : {bmpFile(s), packedDib(s)}) {
    ImagePtr image = loadBytes("core.bmp", data);
    ASSERT_TRUE(image);
    EXPECT_EQ(pixel(*image, 0, 0), rgb(0xA0B0C0));
    EXPECT_EQ(pixel(*image, 1, 0), rgb(0x0A0B0C));
  }
}

TEST(DibFormats, SixteenBitIsFiveFiveFiveUnlessMasksSayOtherwise) {
  BmpLayout s;
  s.bitCount = 16;
  s.width = 2;
  s.bits = {0xFF, 0x7F, 0x00, 0x7C};  // white, pure red in 5-5-5
  ImagePtr plain = loadBytes("555.bmp", bmpFile(s));
  ASSERT_TRUE(plain);
  EXPECT_EQ(pixel(*plain, 0, 0), rgb(0xFFFFFF));
  EXPECT_EQ(pixel(*plain, 1, 0), rgb(0xFF0000));

  s.compression = 3;
  s.masks = {0xF800, 0x07E0, 0x001F};
  s.bits = {0xE0, 0x07, 0x10, 0x00};  // pure green, blue 16 of 31 in 5-6-5
  for (const Bytes& data : {bmpFile(s), packedDib(s)}) {
    ImagePtr masked = loadBytes("565.bmp", data);
    ASSERT_TRUE(masked);
    EXPECT_EQ(pixel(*masked, 0, 0), rgb(0x00FF00));
    EXPECT_EQ(pixel(*masked, 1, 0), (std::vector<int>{0, 0, (16 << 3) | (16 >> 2)}));
  }
}

TEST(DibFormats, ThirtyTwoBitWithAndWithoutMasks) {
  BmpLayout s;
  s.bitCount = 32;
  s.bits = {10, 20, 30, 99};
  ImagePtr plain = loadBytes("32.bmp", bmpFile(s));
  ASSERT_TRUE(plain);
  EXPECT_EQ(pixel(*plain, 0, 0), (std::vector<int>{30, 20, 10}));

  s.compression = 3;
  s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};  // R, G, B in byte order
  ImagePtr masked = loadBytes("32m.bmp", bmpFile(s));
  ASSERT_TRUE(masked);
  EXPECT_EQ(pixel(*masked, 0, 0), (std::vector<int>{10, 20, 30}));
}

TEST(DibFormats, TopDownBitmapIsFlippedIntoBottomUpRows) {
  BmpLayout s = threeWide24();
  s.height = -2;
  ImagePtr image = loadBytes("td.bmp", bmpFile(s));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->height, 2);
  EXPECT_EQ(pixel(*image, 0, 1), (std::vector<int>{30, 20, 10}));
  EXPECT_EQ(pixel(*image, 0, 0), (std::vector<int>{9, 8, 7}));
}

BmpLayout rleBase(uint16_t bits, uint32_t compression) {
  BmpLayout s;
  s.bitCount = bits;
  s.compression = compression;
  s.width = 6;
  s.height = 3;
  s.palette.assign(bits == 8 ? 256 : 16, 0);
  for (uint32_t i = 1; i < 16; ++i) s.palette[i] = i * 0x111111;
  return s;
}

int index8(const RgbImage& image, int x, int y) { return pixel(image, x, y)[0] / 0x11; }

TEST(DibFormats, RunLengthEightBitRunsAbsoluteGroupsAndDeltas) {
  BmpLayout s = rleBase(8, 1);
  s.bits = {3, 1, 0, 3, 2, 3, 4, 0,  // run of three 1s, absolute 2 3 4 + pad
            0, 0,                    // end of row 0
            0, 2, 2, 1,              // move right 2, up 1: to (2, 2)
            2, 5, 0, 1};             // two 5s, end of picture
  s.sizeImage = static_cast<uint32_t>(s.bits.size());
  ImagePtr image = loadBytes("rle8.bmp", bmpFile(s));
  ASSERT_TRUE(image);
  std::vector<int> row0{1, 1, 1, 2, 3, 4};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(index8(*image, x, 0), row0[x]) << x;
  for (int x = 0; x < 6; ++x) EXPECT_EQ(index8(*image, x, 1), 0) << x;
  std::vector<int> row2{0, 0, 5, 5, 0, 0};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(index8(*image, x, 2), row2[x]) << x;
}

TEST(DibFormats, RunLengthFourBitAlternatesNibbles) {
  BmpLayout s = rleBase(4, 2);
  s.bits = {5, 0x12, 0, 0,          // 1 2 1 2 1, end of row
            0, 3, 0x34, 0x50, 0, 0,  // absolute 3 4 5, padded to 16 bits
            0, 1};
  ImagePtr image = loadBytes("rle4.bmp", bmpFile(s));
  ASSERT_TRUE(image);
  std::vector<int> row0{1, 2, 1, 2, 1, 0};
  std::vector<int> row1{3, 4, 5, 0, 0, 0};
  for (int x = 0; x < 6; ++x) {
    EXPECT_EQ(index8(*image, x, 0), row0[x]) << x;
    EXPECT_EQ(index8(*image, x, 1), row1[x]) << x;
  }
}

TEST(DibFormats, RunsWiderThanTheRowAreClippedNotWrapped) {
  BmpLayout s = rleBase(8, 1);
  s.bits = {200, 7, 0, 0, 0, 1};
  ImagePtr image = loadBytes("rlewide.bmp", bmpFile(s));
  ASSERT_TRUE(image);
  EXPECT_EQ(index8(*image, 5, 0), 7);
  EXPECT_EQ(index8(*image, 0, 1), 0);
}

}  // namespace
