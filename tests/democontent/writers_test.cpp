// The demo generators' writers, read back through the project's loaders.
#include <gtest/gtest.h>

#include <cstdio>

#include "bitmap_font.h"
#include "common/scratch_dir.h"
#include "bmp_writer.h"
#include "model3ds/model3ds.h"
#include "model_writer.h"
#include "render/bmp.h"

namespace {

TEST(BmpWriter, OddWidthsArePaddedAndRowsComeBackBottomUp) {
  Canvas c = makeCanvas(5, 3, {0, 0, 0});
  setPixel(c, 0, 0, {10, 20, 30});  // top-left on the canvas
  setPixel(c, 4, 2, {40, 50, 60});  // bottom-right
  std::string path = scratchPath("odd.bmp");
  ASSERT_TRUE(writeBmp24(path, c));
  RgbImage* image = loadDibImage(path.c_str());
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->width, 5);
  ASSERT_EQ(image->height, 3);
  const unsigned char* topLeft = image->pixels + 3 * (2 * 5 + 0);
  const unsigned char* bottomRight = image->pixels + 3 * 4;
  EXPECT_EQ(topLeft[0], 10);
  EXPECT_EQ(topLeft[2], 30);
  EXPECT_EQ(bottomRight[1], 50);
  freeRgbImage(image);
  std::FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::fseek(f, 0, SEEK_END);
  EXPECT_EQ(std::ftell(f), 54 + 16 * 3);  // 15 bytes per row padded to 16
  std::fclose(f);
}

TEST(ModelWriter, MeshesComeBackThroughTheReader) {
  MeshData quad{"quad", {{0, 0, 0}, {4, 0, 0}, {4, 2, 0}, {0, 2, 1}},
                {{0, 0}, {1, 0}, {1, 1}, {0, 0.5f}}, {{0, 1, 2}, {0, 2, 3}}};
  MeshData empty{"empty", {}, {}, {}};
  std::vector<uint8_t> data = encodeModel3ds({quad, empty});
  Model3ds model;
  ASSERT_TRUE(model.loadModelData(data.data(), data.size()));
  ASSERT_EQ(model.meshCount(), 2);
  const ModelMesh& m = *model.mesh(0);
  EXPECT_STREQ(m.name(), "quad");
  ASSERT_EQ(m.vertexCount(), 4);
  ASSERT_EQ(m.faceCount(), 2);
  EXPECT_EQ(m.vertex(3).z, 1.0f);
  EXPECT_EQ(m.uv(3).v, 0.5f);
  EXPECT_EQ(m.triangle(1).c, 3u);
  EXPECT_EQ(model.mesh(1)->vertexCount(), 0);
}

TEST(ModelWriter, MeshesBeyondTheFormatsCountsAreRefused) {
  MeshData big{"big", std::vector<std::array<float, 3>>(70000), {}, {}};
  EXPECT_TRUE(encodeModel3ds({big}).empty());
}

TEST(BitmapFont, WidthCountsLettersAndTheGapsBetweenThem) {
  EXPECT_EQ(textWidth("", 3), 0);
  EXPECT_EQ(textWidth("A", 3), 15);
  EXPECT_EQ(textWidth("AB", 2), 22);
  Canvas c = makeCanvas(20, 10, {0, 0, 0});
  drawText(c, "I", 0, 0, 1, {255, 255, 255});
  EXPECT_EQ(getPixel(c, 2, 3).r, 255);  // the stem of the I
  EXPECT_EQ(getPixel(c, 0, 3).r, 0);
}

}  // namespace
