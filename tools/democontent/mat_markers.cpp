#include "mat_markers.h"

namespace {

// The design's grid spans the middle 12 of the side's 32nds: a 32nd of white
// between it and the border keeps the border's inner edge clean, and each
// cell is 3 of the pattern's 16 samples wide, enough to survive a steep view.
constexpr int kGridStart = 10, kGridSpan = 12, kGridCells = 4;

}  // namespace

// Chosen among a few hundred random designs for the widest margin, on blurred
// and shifted samples, between the right pattern and any other pattern or
// quarter turn of the mat (the track's marker included).
const std::vector<MatMarkerDesign>& matMarkerDesigns() {
  static const std::vector<MatMarkerDesign> designs = {
      {"mat1", {"XX..", "....", "...X", "XX.X"}},
      {"mat2", {"X.XX", "..X.", "X.XX", "..X."}},
      {"mat3", {"..XX", ".XX.", "X...", ".X.."}},
      {"mat4", {".X..", ".XX.", "XX..", "..XX"}},
  };
  return designs;
}

Canvas paintMatMarker(const MatMarkerDesign& design, int side) {
  Canvas c = makeCanvas(side, side, {0, 0, 0});
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const double u = (x + 0.5) * 32 / side, v = (y + 0.5) * 32 / side;  // in 32nds
      if (u < 8 || u >= 24 || v < 8 || v >= 24) continue;
      const int col = static_cast<int>((u - kGridStart) * kGridCells / kGridSpan + 4) - 4;
      const int row = static_cast<int>((v - kGridStart) * kGridCells / kGridSpan + 4) - 4;
      const bool inGrid = col >= 0 && col < kGridCells && row >= 0 && row < kGridCells;
      const bool ink = inGrid && design.cells[row][col] == 'X';
      setPixel(c, x, y, ink ? Color{0, 0, 0} : Color{255, 255, 255});
    }
  return c;
}
