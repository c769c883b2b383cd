#include "board_print.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "bmp_writer.h"
#include "canvas.h"

namespace {

constexpr double kDotsPerMm = 300.0 / 25.4;
constexpr int kPixelsPerMetre = 11811;  // 300 dpi, so that printing at actual size keeps the squares' size
constexpr int kMaxSide = 20000;

std::string millimetres(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g mm", value);
    return text;
}

}  // namespace

std::string writeBoardBitmap(const std::string& path, int cols, int rows, double squareMm) {
    // cols + 1 squares across, plus one square of white margin on each side; the
    // size is checked in floating point, before any of it becomes a whole number.
    const double dots = squareMm * kDotsPerMm;
    if (dots * (std::max(cols, rows) + 3) > kMaxSide)
        return "squares of " + millimetres(squareMm) + " make a board larger than " + std::to_string(kMaxSide) +
               " pixels; at most " + millimetres(kMaxSide / kDotsPerMm / (std::max(cols, rows) + 3)) + " fit";
    const int side = static_cast<int>(std::lround(dots));
    if (side < 4) return "squares of " + millimetres(squareMm) + " are too small to print";
    const int width = side * (cols + 3), height = side * (rows + 3);
    Canvas c = makeCanvas(static_cast<int>(width), static_cast<int>(height), Color{255, 255, 255});
    for (int r = 0; r <= rows; ++r)
        for (int k = 0; k <= cols; ++k)
            if ((r + k) % 2 == 0) fillRect(c, (k + 1) * side, (r + 1) * side, side, side, Color{0, 0, 0});
    std::string why;
    if (!writeBmp24(path, c, kPixelsPerMetre, &why)) return path + ": cannot write: " + why;
    return "";
}
