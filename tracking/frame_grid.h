// A sampled copy of part of a frame, for searching a large frame at a fraction of its cost.
#pragma once

#include <cstdint>
#include <vector>

// Grid point (gx, gy) holds the mean channel sum (0 .. 765) of the `step` pixels from frame pixel
// (x0 + step * gx, y0 + step * gy + step / 2) along that row: one row in `step` is read, so the
// copy of a frame costs about 1 / step of reading it all.
struct FrameGrid {
    int x0 = 0, y0 = 0;
    int step = 1;  // a power of two
    int width = 0, height = 0;
    std::vector<uint16_t> sums;

    // The frame pixel a grid coordinate stands for.
    int frameX(int gx) const { return x0 + step * gx + step / 2; }
    int frameY(int gy) const { return y0 + step * gy + step / 2; }
};

// Samples `width` x `height` grid points of a 4-byte-per-pixel frame `frameWidth` pixels wide; the
// caller keeps every sampled pixel inside the frame.
void sampleFrameGrid(const uint8_t* frame, int frameWidth, int x0, int y0, int step, int width, int height,
                     FrameGrid* grid);
