// The raw screen-image reader and its refusals.
#include <gtest/gtest.h>

#include <cstring>

#include "bmp_builder.h"
#include "common/scratch_dir.h"
#include "render/bmp.h"

namespace {

BmpLayout screenFileLayout(int32_t width, int32_t height, uint16_t bitCount = 24) {
  BmpLayout s;
  s.width = width;
  s.height = height;
  s.bitCount = bitCount;
  size_t bytes = static_cast<size_t>(width) * (height < 0 ? -height : height) * 3;
  s.bits.resize(bytes);
  for (size_t i = 0; i < bytes; ++i) s.bits[i] = static_cast<unsigned char>(i * 7 + 3);
  return s;
}

Bytes screenFile(int32_t width, int32_t height, uint16_t bitCount = 24) {
  return bmpFile(screenFileLayout(width, height, bitCount));
}

class ScreenImage : public ::testing::Test {
 protected:
  void SetUp() override {
    screenImageWidth = -5;
    screenImageHeight = -6;
  }
  void expectRefused(const std::string& name, const Bytes& data, const char* reason) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(loadScreenImage(writeTempFile(name, data).c_str()), nullptr);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(reason), std::string::npos) << err;
    EXPECT_EQ(screenImageWidth, -5);
    EXPECT_EQ(screenImageHeight, -6);
  }
};

TEST_F(ScreenImage, FullScreenImageIsReturnedInFileOrder) {
  Bytes data = screenFile(640, 480);
  unsigned char* block = loadScreenImage(writeTempFile("main.bmp", data).c_str());
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(screenImageWidth, 640);
  EXPECT_EQ(screenImageHeight, 480);
  EXPECT_EQ(0, std::memcmp(block, data.data() + 54, 921600));
  freeScreenImage(block);
}

TEST_F(ScreenImage, MissingFileOrNoBitmapSignatureLeavesTheSizesAlone) {
  EXPECT_EQ(loadScreenImage(scratchPath("absent.bmp").c_str()), nullptr);
  Bytes data = screenFile(8, 2);
  data[0] = 'X';
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(loadScreenImage(writeTempFile("nobm.bmp", data).c_str()), nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(screenImageWidth, -5);
  EXPECT_EQ(screenImageHeight, -6);
}

TEST_F(ScreenImage, FilesThatCannotBeDrawnRawAreRefusedWithAReason) {
  Bytes cut = screenFile(8, 4);
  cut.resize(cut.size() - 1);
  expectRefused("cut.bmp", cut, "shorter than its pixel rows");
  expectRefused("hdr.bmp", Bytes{'B', 'M', 0, 0}, "shorter than its headers");
  expectRefused("w6.bmp", screenFile(6, 4), "multiple of 4");
  expectRefused("td.bmp", screenFile(8, -4), "bottom-up");
  BmpLayout pal;
  pal.width = 8;
  pal.bitCount = 8;
  pal.bits.resize(8 * 3);
  expectRefused("pal.bmp", bmpFile(pal), "24-bit");
  expectRefused("wide.bmp", screenFile(16388, 1), "the picture is too large");
  BmpLayout v5;  // the header size that image converters write by default
  v5.width = 8;
  v5.height = 2;
  v5.headerSize = 124;
  v5.bits.resize(8 * 2 * 3);
  expectRefused("v5.bmp", bmpFile(v5), "pixels must start at byte 54, not 138");
  expectRefused("gap.bmp", bmpFile(screenFileLayout(8, 2), 4), "pixels must start at byte 54, not 58");
}

// The images share one drawing size, so one of another size would be drawn
// from the wrong rows (or past its end): the set is refused, naming it.
TEST_F(ScreenImage, ScreenImagesOfDifferentSizesAreRefusedTogether) {
  ScratchDir dir;
  auto image = [&dir](const std::string& name, int width, int height) {
    const Bytes bytes = screenFile(width, height);
    return dir.write(name, std::string(bytes.begin(), bytes.end()));
  };
  const std::string title = image("main.bmp", 8, 4), win = image("win.bmp", 8, 4);
  const struct {
    std::string last, reason;
  } cases[] = {{image("lose.bmp", 8, 4), ""},
               {image("small.bmp", 4, 4), "screen image " + dir.file("small.bmp") + " is 4x4 but " + title + " is 8x4"},
               {dir.pipe("pipe.bmp"), "cannot read the screen image " + dir.file("pipe.bmp") + ": a named pipe"}};
  for (const auto& c : cases) {
    const char* names[] = {title.c_str(), win.c_str(), c.last.c_str()};
    unsigned char* blocks[3] = {};
    std::string why = "left over";
    EXPECT_EQ(loadScreenImages(names, 3, blocks, why), c.reason.empty());
    EXPECT_EQ(c.reason.empty() ? why : why.substr(0, c.reason.size()), c.reason);
    for (unsigned char* block : blocks) EXPECT_EQ(block != nullptr, c.reason.empty());
    for (unsigned char* block : blocks) freeScreenImage(block);
  }
}

TEST_F(ScreenImage, EveryTruncationIsRefusedOrReadWhole) {
  Bytes data = screenFile(4, 3);
  for (size_t length = 0; length <= data.size(); ++length) {
    Bytes cut(data.begin(), data.begin() + length);
    ::testing::internal::CaptureStderr();
    unsigned char* block = loadScreenImage(writeTempFile("trunc.bmp", cut).c_str());
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(block != nullptr, length == data.size()) << length;
    freeScreenImage(block);
  }
}

}  // namespace
