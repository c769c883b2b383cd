// The bundled screen images and car textures read back through the loaders.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "render/bmp.h"

namespace {

const std::string kDemo = ROVANTA_DEMO_DIR;

struct Means {
  double r = 0, g = 0, b = 0;
};

Means channelMeans(const RgbImage& image) {
  Means m;
  size_t count = static_cast<size_t>(image.width) * image.height;
  for (size_t i = 0; i < count; ++i) {
    m.r += image.pixels[3 * i];
    m.g += image.pixels[3 * i + 1];
    m.b += image.pixels[3 * i + 2];
  }
  m.r /= count;
  m.g /= count;
  m.b /= count;
  return m;
}

class DemoScreens : public ::testing::TestWithParam<const char*> {};

TEST_P(DemoScreens, BothLoadersAgreeOnTheFullWindowPicture) {
  // Loaded by the name the game uses, with its backslash.
  std::string name = kDemo + "/Data\\" + GetParam();
  unsigned char* raw = loadScreenImage(name.c_str());
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(screenImageWidth, 640);
  EXPECT_EQ(screenImageHeight, 480);
  RgbImage* image = loadDibImage(name.c_str());
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->width, 640);
  ASSERT_EQ(image->height, 480);
  size_t differing = 0;
  for (size_t i = 0; i < 640 * 480; ++i)
    differing += raw[3 * i] != image->pixels[3 * i + 2] || raw[3 * i + 2] != image->pixels[3 * i];
  EXPECT_EQ(differing, 0u);
  freeRgbImage(image);
  freeScreenImage(raw);
}

INSTANTIATE_TEST_SUITE_P(AllThree, DemoScreens,
                         ::testing::Values("main.bmp", "main_win.bmp", "main_lose.bmp"));

TEST(DemoScreenSet, TheThreePicturesDifferInTheirTextBand) {
  unsigned char* blocks[3];
  const char* names[3] = {"main.bmp", "main_win.bmp", "main_lose.bmp"};
  for (int i = 0; i < 3; ++i) {
    blocks[i] = loadScreenImage((kDemo + "/Data/" + names[i]).c_str());
    ASSERT_NE(blocks[i], nullptr);
  }
  // Rows 330 to 420 from the bottom hold the big title text in each picture.
  size_t band = 330 * 640 * 3, length = 90 * 640 * 3;
  EXPECT_NE(std::memcmp(blocks[0] + band, blocks[1] + band, length), 0);
  EXPECT_NE(std::memcmp(blocks[1] + band, blocks[2] + band, length), 0);
  for (unsigned char* b : blocks) freeScreenImage(b);
}

TEST(DemoTextures, PlayerIsRedAndOpponentBlueAtPowerOfTwoSizes) {
  RgbImage* player = loadDibImage((kDemo + "/textures/player.bmp").c_str());
  RgbImage* opponent = loadDibImage((kDemo + "/textures/opponent.bmp").c_str());
  ASSERT_TRUE(player && opponent);
  for (RgbImage* t : {player, opponent}) {
    EXPECT_EQ(t->width & (t->width - 1), 0);
    EXPECT_EQ(t->height & (t->height - 1), 0);
  }
  Means p = channelMeans(*player), o = channelMeans(*opponent);
  EXPECT_GT(p.r, p.b + 30);
  EXPECT_GT(o.b, o.r + 30);
  freeRgbImage(player);
  freeRgbImage(opponent);
}

}  // namespace
