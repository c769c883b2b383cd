#include "tracking/local_levels.h"

#include <algorithm>
#include <vector>

namespace {

// Work areas reused from frame to frame.
std::vector<int> low, high, spreadLow, spreadHigh;

// Darkest and brightest channel sum of every tile, sampling every other pixel of every other row.
void tileExtremes(const uint8_t* frame, int width, int height, const ThresholdMap& map) {
    const int tiles = map.columns * map.rows, tile = map.tileSize;
    low.assign(tiles, 765);
    high.assign(tiles, 0);
    for (int y = 0; y < height; y += 2) {
        const uint8_t* row = frame + static_cast<size_t>(y) * width * 4;
        int* tileLow = low.data() + (y / tile) * map.columns;
        int* tileHigh = high.data() + (y / tile) * map.columns;
        for (int c = 0; c < map.columns; c++) {
            int darkest = tileLow[c], brightest = tileHigh[c];
            const int end = std::min(width, (c + 1) * tile);
            for (int x = c * tile; x < end; x += 2) {
                const uint8_t* p = row + 4 * x;
                const int sum = p[0] + p[1] + p[2];
                darkest = std::min(darkest, sum);
                brightest = std::max(brightest, sum);
            }
            tileLow[c] = darkest;
            tileHigh[c] = brightest;
        }
    }
}

// 3 x 3 minimum (or maximum, with `better` = greater) of a tile grid, one direction at a time.
template <typename Better>
void spread(const std::vector<int>& in, int columns, int rows, std::vector<int>& out, Better better) {
    std::vector<int>& across = out;
    across.resize(in.size());
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < columns; c++) {
            int v = in[r * columns + c];
            if (c > 0 && better(in[r * columns + c - 1], v)) v = in[r * columns + c - 1];
            if (c + 1 < columns && better(in[r * columns + c + 1], v)) v = in[r * columns + c + 1];
            across[r * columns + c] = v;
        }
    std::vector<int> rowsDone(across);
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < columns; c++) {
            int v = rowsDone[r * columns + c];
            if (r > 0 && better(rowsDone[(r - 1) * columns + c], v)) v = rowsDone[(r - 1) * columns + c];
            if (r + 1 < rows && better(rowsDone[(r + 1) * columns + c], v)) v = rowsDone[(r + 1) * columns + c];
            out[r * columns + c] = v;
        }
}

}  // namespace

int localTileSize(int width) { return width < 1200 ? 8 : width < 2400 ? 16 : 32; }

void buildLocalLevels(const uint8_t* frame, int width, int height, const LocalLevelRule& rule, ThresholdMap* map) {
    map->resize(width, height, rule.tileSize > 0 ? rule.tileSize : localTileSize(width));
    tileExtremes(frame, width, height, *map);
    spread(low, map->columns, map->rows, spreadLow, [](int a, int b) { return a < b; });
    spread(high, map->columns, map->rows, spreadHigh, [](int a, int b) { return a > b; });
    for (size_t t = 0; t < map->limits.size(); t++) {
        const int darkest = spreadLow[t], brightest = spreadHigh[t], contrast = brightest - darkest;
        const bool flat = contrast < rule.minContrast || contrast < rule.minRelativeContrast * brightest;
        map->limits[t] = flat ? rule.flatLimit : darkest + static_cast<int>(rule.share * contrast);
    }
}
