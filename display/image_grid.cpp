#include "display/image_grid.h"

#include <algorithm>

int smallestPowerOfTwoAtLeast(int n) {
    int value = 1;
    while (value < n) value *= 2;
    return value;
}

ImageTextureLayout computeImageTextureLayout(int imageWidth, int imageHeight) {
    ImageTextureLayout layout{};
    if (imageWidth <= kMaxLeftTextureWidth) {
        layout.textureWidth = smallestPowerOfTwoAtLeast(imageWidth);
        layout.textureWidthRight = 1;
    } else {
        layout.textureWidth = kMaxLeftTextureWidth;
        layout.textureWidthRight = smallestPowerOfTwoAtLeast(imageWidth - kMaxLeftTextureWidth);
    }
    layout.textureHeight = smallestPowerOfTwoAtLeast(imageHeight);
    layout.twoTextures = imageWidth > layout.textureWidth;
    return layout;
}

std::vector<GridBand> gridBandsFor(int imageWidth, const ImageTextureLayout& layout) {
    if (!layout.twoTextures) return {GridBand{0, imageWidth, kGridRows, layout.textureWidth}};
    // The right band of a 640-wide frame has 4 columns, 32 pixels each like the
    // left band's; wider frames keep that cell width instead of stretching 4
    // columns over hundreds of pixels, where the lens distortion is strongest.
    const int rightSpan = imageWidth - kMaxLeftTextureWidth;
    const int rightColumns = std::max(4, (rightSpan + kGridCellWidth - 1) / kGridCellWidth);
    return {GridBand{0, kMaxLeftTextureWidth, 16, kMaxLeftTextureWidth},
            GridBand{kMaxLeftTextureWidth, rightSpan, rightColumns, layout.textureWidthRight}};
}

namespace {

struct GridPoint {
    double x, y, s, t;
};

GridPoint gridPoint(const GridBand& band, int imageHeight, int textureHeight, int i, int j) {
    GridPoint p;
    p.x = band.xStart + (band.xSpan * j) / static_cast<double>(band.columns);
    p.y = (imageHeight * i) / static_cast<double>(kGridRows);
    p.s = (static_cast<double>(band.xSpan) / band.textureWidth) * j / band.columns;
    p.t = (static_cast<double>(imageHeight) / textureHeight) * i / kGridRows;
    return p;
}

GridCorner placeCorner(const GridPoint& p, double zoom, int windowHeight,
                       const ObservedToIdealFn& observedToIdeal) {
    double ix = 0.0, iy = 0.0;
    observedToIdeal(p.x, p.y, &ix, &iy);
    return GridCorner{p.s, p.t, zoom * ix, windowHeight - zoom * iy};
}

}  // namespace

std::vector<GridQuad> buildGridQuads(const GridBand& band, int imageHeight, int textureHeight,
                                     double zoom, int windowHeight,
                                     const ObservedToIdealFn& observedToIdeal) {
    std::vector<GridQuad> quads;
    quads.reserve(static_cast<size_t>(kGridRows) * band.columns);
    for (int i = 1; i <= kGridRows; ++i) {
        for (int j = 1; j <= band.columns; ++j) {
            const int cornerIJ[4][2] = {{i - 1, j - 1}, {i - 1, j}, {i, j}, {i, j - 1}};
            GridQuad quad;
            for (int k = 0; k < 4; ++k) {
                const GridPoint p =
                    gridPoint(band, imageHeight, textureHeight, cornerIJ[k][0], cornerIJ[k][1]);
                quad[k] = placeCorner(p, zoom, windowHeight, observedToIdeal);
            }
            quads.push_back(quad);
        }
    }
    return quads;
}
