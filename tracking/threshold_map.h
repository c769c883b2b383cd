// Per-tile brightness levels for labeling frames whose light changes across the picture.
#pragma once

#include <cstdint>
#include <vector>

struct ThresholdMap {
    int tileSize = 16;          // a power of two, at least 2
    int columns = 0, rows = 0;  // tiles across and down
    // Channel-sum limit per tile, row-major: a point is dark when its sum is at most the limit
    // interpolated between the centres of the tiles around it.
    std::vector<int> limits;

    // Sizes the map for an image, one tile per tileSize x tileSize points (the last ones partial).
    void resize(int width, int height, int tile);
    // dark[x] = 1 when sums[x], the channel sum of point x of image row y, is at most the limit
    // interpolated there, else 0, for x in [0, width).
    void markDarkRow(int y, const uint16_t* sums, uint8_t* dark) const;

  private:
    // Stretches of a row lying between the same two tile centres (the same for every row).
    struct Span {
        int start, end, left, right, weight;  // weight of `right` at `start`, out of 2 * tileSize
    };
    std::vector<Span> spans;
    mutable std::vector<int> rowLevels;  // one row's limits at the tile centres' columns
    void interpolateColumns(int y) const;
    void markRange(const uint16_t* sums, int from, int to, uint8_t* dark) const;
    int markFourTiles(const uint16_t* sums, int width, uint8_t* dark) const;
};
