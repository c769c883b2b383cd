#pragma once
#include <string>

// A printable cols x rows (inner corners) chessboard: squares of `squareMm`
// millimetres at 300 dots per inch, a white square's width of margin around.
// Empty on success, else the reason.
std::string writeBoardBitmap(const std::string& path, int cols, int rows, double squareMm);
