#include "board_print.h"

#include <cmath>

#include "bmp_writer.h"
#include "canvas.h"

namespace {

constexpr double kDotsPerMm = 300.0 / 25.4;
constexpr int kPixelsPerMetre = 11811;  // 300 dpi, so that printing at actual size keeps the squares' size
constexpr int kMaxSide = 20000;

}  // namespace

std::string writeBoardBitmap(const std::string& path, int cols, int rows, double squareMm) {
    int side = static_cast<int>(std::lround(squareMm * kDotsPerMm));
    // cols + 1 squares across, plus one square of white margin on each side.
    long width = static_cast<long>(side) * (cols + 3), height = static_cast<long>(side) * (rows + 3);
    if (side < 4) return "squares of " + std::to_string(squareMm) + " mm are too small to print";
    if (width > kMaxSide || height > kMaxSide) return "the board would be larger than 20000 pixels";
    Canvas c = makeCanvas(static_cast<int>(width), static_cast<int>(height), Color{255, 255, 255});
    for (int r = 0; r <= rows; ++r)
        for (int k = 0; k <= cols; ++k)
            if ((r + k) % 2 == 0) fillRect(c, (k + 1) * side, (r + 1) * side, side, side, Color{0, 0, 0});
    if (!writeBmp24(path, c, kPixelsPerMetre)) return path + ": cannot write";
    return "";
}
