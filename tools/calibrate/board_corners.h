#pragma once
// Chessboard corners in a picture, through OpenCV's chessboard detector and
// its sub-pixel corner refinement.

#include <vector>

#include "camera_fit.h"
#include "image_file.h"

// The cols x rows inner corners, row after row; false when the board is not
// there whole.
bool findBoardCorners(const RgbPicture& picture, int cols, int rows, std::vector<ImagePoint>* corners);
