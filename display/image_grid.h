#pragma once
// Geometry of the camera-image background: texture sizes for a frame and the
// distortion-compensated grid on which the frame is drawn. No OpenGL here.
#include <array>
#include <functional>
#include <vector>

// Frames wider than this are split over two textures (left part, right part).
inline constexpr int kMaxLeftTextureWidth = 512;
inline constexpr int kGridRows = 20;
// Width of a grid cell of the left band (512 pixels in 16 columns).
inline constexpr int kGridCellWidth = 32;

struct ImageTextureLayout {
    int textureWidth;       // left (or only) texture
    int textureWidthRight;  // right texture; 1 when there is none
    int textureHeight;
    bool twoTextures;
};

// Doubling from 1 until the value reaches n.
int smallestPowerOfTwoAtLeast(int n);
ImageTextureLayout computeImageTextureLayout(int imageWidth, int imageHeight);

// One band of grid columns: image x from xStart over xSpan pixels, cut into
// `columns` cells, textured from a texture `textureWidth` texels wide.
struct GridBand {
    int xStart;
    int xSpan;
    int columns;
    int textureWidth;
};

// The bands a frame is drawn with: one, or left and right.
std::vector<GridBand> gridBandsFor(int imageWidth, const ImageTextureLayout& layout);

struct GridCorner {
    double s, t;    // texture coordinate
    double wx, wy;  // window position (drawn at depth -1)
};
using GridQuad = std::array<GridCorner, 4>;

// Maps an observed image point to its ideal (undistorted) position.
using ObservedToIdealFn = std::function<void(double ox, double oy, double* ix, double* iy)>;

// The quads of one band, rows outer, columns inner; corners in drawing order
// (x_{j-1},y_{i-1}), (x_j,y_{i-1}), (x_j,y_i), (x_{j-1},y_i).
std::vector<GridQuad> buildGridQuads(const GridBand& band, int imageHeight, int textureHeight,
                                     double zoom, int windowHeight,
                                     const ObservedToIdealFn& observedToIdeal);
