#pragma once
// The demo mat's further markers. Each is a square picture laid out like the
// track's marker (black border a quarter of the side on each side, white
// inside) around its own design, which no quarter turn maps onto itself or
// onto another marker of the mat, so the tracker tells them and their turns
// apart.

#include <string>
#include <vector>

#include "canvas.h"

struct MatMarkerDesign {
  std::string name;  // file name of its picture and pattern, without extension
  // The design on a 4 x 4 grid in the middle of the white square, top row
  // first: '.' paper, 'X' ink.
  const char* cells[4];
};

const std::vector<MatMarkerDesign>& matMarkerDesigns();

// The marker picture, `side` pixels wide (a multiple of 32 draws every cell
// edge on a pixel edge).
Canvas paintMatMarker(const MatMarkerDesign& design, int side);
