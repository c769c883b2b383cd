#include "display/image_grid.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

void identity(double ox, double oy, double* ix, double* iy) {
    *ix = ox;
    *iy = oy;
}

TEST(ImageTextureLayout, SizesFollowTheFrame) {
    const ImageTextureLayout vga = computeImageTextureLayout(640, 480);
    EXPECT_EQ(vga.textureWidth, 512);
    EXPECT_EQ(vga.textureWidthRight, 128);
    EXPECT_EQ(vga.textureHeight, 512);
    EXPECT_TRUE(vga.twoTextures);

    const ImageTextureLayout qvga = computeImageTextureLayout(320, 240);
    EXPECT_EQ(qvga.textureWidth, 512);
    EXPECT_EQ(qvga.textureWidthRight, 1);
    EXPECT_EQ(qvga.textureHeight, 256);
    EXPECT_FALSE(qvga.twoTextures);

    const ImageTextureLayout exact = computeImageTextureLayout(512, 1);
    EXPECT_EQ(exact.textureWidth, 512);
    EXPECT_EQ(exact.textureHeight, 1);
    EXPECT_FALSE(exact.twoTextures);
    EXPECT_EQ(computeImageTextureLayout(513, 2).textureWidthRight, 1);
    EXPECT_EQ(smallestPowerOfTwoAtLeast(0), 1);
}

TEST(ImageGrid, OneTextureCoversTheFrameWithTexturePartlyUsed) {
    const ImageTextureLayout layout = computeImageTextureLayout(320, 240);
    const auto bands = gridBandsFor(320, layout);
    ASSERT_EQ(bands.size(), 1u);
    const auto quads = buildGridQuads(bands[0], 240, layout.textureHeight, 1.0, 240, identity);
    ASSERT_EQ(quads.size(), 400u);
    const GridQuad& last = quads.back();
    EXPECT_DOUBLE_EQ(last[2].s, 0.625);
    EXPECT_DOUBLE_EQ(last[2].t, 0.9375);
    // Without distortion each corner sits on the pixel it samples, row 0 at the top.
    EXPECT_DOUBLE_EQ(quads[0][0].wx, 0.0);
    EXPECT_DOUBLE_EQ(quads[0][0].wy, 240.0);
    EXPECT_DOUBLE_EQ(last[2].wx, 320.0);
    EXPECT_DOUBLE_EQ(last[2].wy, 0.0);
    EXPECT_DOUBLE_EQ(quads[21][0].wx, 16.0);  // row 2, column 2 starts at x 16, y 12
    EXPECT_DOUBLE_EQ(quads[21][0].wy, 228.0);
}

TEST(ImageGrid, WideFramesSplitIntoLeftAndRightBands) {
    const ImageTextureLayout layout = computeImageTextureLayout(640, 480);
    const auto bands = gridBandsFor(640, layout);
    ASSERT_EQ(bands.size(), 2u);
    const auto left = buildGridQuads(bands[0], 480, 512, 1.0, 480, identity);
    const auto right = buildGridQuads(bands[1], 480, 512, 1.0, 480, identity);
    EXPECT_EQ(left.size(), 20u * 16u);
    EXPECT_EQ(right.size(), 20u * 4u);
    EXPECT_DOUBLE_EQ(left[15][1].wx, 512.0);
    EXPECT_DOUBLE_EQ(left[15][1].s, 1.0);
    EXPECT_DOUBLE_EQ(right[0][0].wx, 512.0);
    EXPECT_DOUBLE_EQ(right[0][0].s, 0.0);
    EXPECT_DOUBLE_EQ(right[3][1].wx, 640.0);
    EXPECT_DOUBLE_EQ(right[3][1].s, 1.0);
    EXPECT_DOUBLE_EQ(right.back()[2].t, 480.0 / 512.0);

    // HD frames keep 32-pixel columns on the right too.
    for (const auto& [width, columns] : {std::pair{1280, 24}, std::pair{1920, 44}, std::pair{600, 4}}) {
        const auto wide = gridBandsFor(width, computeImageTextureLayout(width, 720));
        ASSERT_EQ(wide.size(), 2u);
        EXPECT_EQ(wide[1].columns, columns) << width;
        EXPECT_EQ(wide[1].xStart + wide[1].xSpan, width);
    }
}

TEST(ImageGrid, CornersPassThroughTheDistortionMapAndTheZoom) {
    const GridBand band{0, 100, 20, 128};
    auto shift = [](double ox, double oy, double* ix, double* iy) {
        *ix = ox + 1.0;
        *iy = oy - 2.0;
    };
    const auto quads = buildGridQuads(band, 100, 128, 2.0, 200, shift);
    EXPECT_DOUBLE_EQ(quads[0][0].wx, 2.0);
    EXPECT_DOUBLE_EQ(quads[0][0].wy, 204.0);
    EXPECT_DOUBLE_EQ(quads[0][2].wx, 12.0);
    EXPECT_DOUBLE_EQ(quads[0][2].wy, 194.0);
}

}  // namespace
