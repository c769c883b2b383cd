#include "tracking/local_levels.h"

#include <algorithm>
#include <vector>

namespace {

// Work areas reused from frame to frame.
std::vector<int> low, high;

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

// One pass of a 3-wide minimum (or maximum, with `better` = greater) along rows (step 1) or
// columns (step = columns) of a tile grid.
template <typename Better>
void spreadAlong(const std::vector<int>& in, int columns, int rows, bool alongRows, std::vector<int>& out,
                 Better better) {
    out.resize(in.size());
    const int step = alongRows ? 1 : columns;
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < columns; c++) {
            const int i = r * columns + c;
            const bool hasBefore = alongRows ? c > 0 : r > 0;
            const bool hasAfter = alongRows ? c + 1 < columns : r + 1 < rows;
            int v = in[i];
            if (hasBefore && better(in[i - step], v)) v = in[i - step];
            if (hasAfter && better(in[i + step], v)) v = in[i + step];
            out[i] = v;
        }
}

// 3 x 3 minimum or maximum of a tile grid, in place.
template <typename Better>
void spread(std::vector<int>& grid, int columns, int rows, Better better) {
    static std::vector<int> across;
    spreadAlong(grid, columns, rows, true, across, better);
    spreadAlong(across, columns, rows, false, grid, better);
}

}  // namespace

int localTileSize(int width) { return width < 1200 ? 8 : width < 2400 ? 16 : 32; }

void buildLocalLevels(const uint8_t* frame, int width, int height, const LocalLevelRule& rule, ThresholdMap* map) {
    map->resize(width, height, rule.tileSize > 0 ? rule.tileSize : localTileSize(width));
    tileExtremes(frame, width, height, *map);
    // Spread over each tile's neighbours: a tile wholly inside a dark border still sees the light around it.
    spread(low, map->columns, map->rows, [](int a, int b) { return a < b; });
    spread(high, map->columns, map->rows, [](int a, int b) { return a > b; });
    for (size_t t = 0; t < map->limits.size(); t++) {
        const int darkest = low[t], brightest = high[t], contrast = brightest - darkest;
        const bool flat = contrast < rule.minContrast || contrast < rule.minRelativeContrast * brightest;
        map->limits[t] = flat ? rule.flatLimit : darkest + static_cast<int>(rule.share * contrast);
    }
}
