// Per-tile brightness levels for labeling frames whose light changes across the picture.
#pragma once

#include <vector>

struct ThresholdMap {
    int tileSize = 16;          // a power of two
    int columns = 0, rows = 0;  // tiles across and down
    // Channel-sum limit per tile, row-major: a pixel is dark when its sum is at most the limit
    // interpolated between the centres of the tiles around it.
    std::vector<int> limits;

    // Sizes the map for a frame, one tile per tileSize x tileSize pixels (the last ones partial).
    void resize(int width, int height, int tile);
    // The interpolated limit of every pixel of image row y, in out[0 .. width).
    void rowLimits(int y, int* out) const;

  private:
    // Stretches of a row lying between the same two tile centres (the same for every row).
    struct Span {
        int start, end, left, right, weight;  // weight of `right` at `start`, out of 2 * tileSize
    };
    std::vector<Span> spans;
    mutable std::vector<int> columnLimits;  // one row's limits at the tile centres' columns
};
