#include "tracking/local_levels.h"

#include <algorithm>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Work areas reused from frame to frame.
std::vector<int> low, high;
std::vector<uint16_t> columnLow, columnHigh;

// Darkest and brightest sum of each column over rows [from, to) of the image.
void columnExtremes(const uint16_t* sums, int width, int from, int to) {
    columnLow.assign(sums + static_cast<size_t>(from) * width, sums + static_cast<size_t>(from + 1) * width);
    columnHigh = columnLow;
    for (int y = from + 1; y < to; y++) {
        const uint16_t* row = sums + static_cast<size_t>(y) * width;
        int x = 0;
#ifdef __SSE2__
        // Sums are at most 765, so signed 16-bit lanes hold them.
        for (; x + 8 <= width; x += 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
            __m128i* lowAt = reinterpret_cast<__m128i*>(columnLow.data() + x);
            __m128i* highAt = reinterpret_cast<__m128i*>(columnHigh.data() + x);
            _mm_storeu_si128(lowAt, _mm_min_epi16(_mm_loadu_si128(lowAt), v));
            _mm_storeu_si128(highAt, _mm_max_epi16(_mm_loadu_si128(highAt), v));
        }
#endif
        for (; x < width; x++) {
            columnLow[x] = std::min(columnLow[x], row[x]);
            columnHigh[x] = std::max(columnHigh[x], row[x]);
        }
    }
}

// Darkest and brightest channel sum of every tile.
void tileExtremes(const uint16_t* sums, int width, int height, const ThresholdMap& map) {
    const int tile = map.tileSize;
    low.resize(static_cast<size_t>(map.columns) * map.rows);
    high.resize(low.size());
    for (int r = 0; r < map.rows; r++) {
        columnExtremes(sums, width, r * tile, std::min(height, (r + 1) * tile));
        for (int c = 0; c < map.columns; c++) {
            const int from = c * tile, to = std::min(width, from + tile);
            int darkest = columnLow[from], brightest = columnHigh[from];
            for (int x = from + 1; x < to; x++) {
                darkest = std::min(darkest, static_cast<int>(columnLow[x]));
                brightest = std::max(brightest, static_cast<int>(columnHigh[x]));
            }
            low[r * map.columns + c] = darkest;
            high[r * map.columns + c] = brightest;
        }
    }
}

// 3 x 3 minimum (or maximum) of a tile grid, in place: along the rows, then down the columns;
// at the edges the missing neighbour is the tile itself.
template <typename Pick>
void spread(std::vector<int>& grid, int columns, int rows, Pick pick) {
    static std::vector<int> across;
    across.resize(grid.size());
    for (int r = 0; r < rows; r++) {
        const int* in = grid.data() + r * columns;
        int* out = across.data() + r * columns;
        for (int c = 0; c < columns; c++)
            out[c] = pick(pick(in[c > 0 ? c - 1 : c], in[c]), in[c + 1 < columns ? c + 1 : c]);
    }
    for (int r = 0; r < rows; r++) {
        const int* above = across.data() + (r > 0 ? r - 1 : r) * columns;
        const int* here = across.data() + r * columns;
        const int* below = across.data() + (r + 1 < rows ? r + 1 : r) * columns;
        int* out = grid.data() + r * columns;
        for (int c = 0; c < columns; c++) out[c] = pick(pick(above[c], here[c]), below[c]);
    }
}

}  // namespace

int localTileSize(int width) { return width < 1200 ? 8 : width < 2400 ? 16 : 32; }

void buildLocalLevels(const uint16_t* sums, int width, int height, const LocalLevelRule& rule, ThresholdMap* map) {
    map->resize(width, height, rule.tileSize);
    tileExtremes(sums, width, height, *map);
    // Spread over each tile's neighbours: a tile wholly inside a dark border still sees the light around it.
    spread(low, map->columns, map->rows, [](int a, int b) { return std::min(a, b); });
    spread(high, map->columns, map->rows, [](int a, int b) { return std::max(a, b); });
    for (size_t t = 0; t < map->limits.size(); t++) {
        const int darkest = low[t], brightest = high[t], contrast = brightest - darkest;
        const bool flat = contrast < rule.minContrast || contrast < rule.minRelativeContrast * brightest;
        map->limits[t] = flat ? rule.flatLimit : darkest + static_cast<int>(rule.share * contrast);
    }
}
