#include "tracking/local_levels.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Work areas reused from frame to frame; sums (at most 765) fit signed 16-bit lanes.
std::vector<int16_t> low, high;
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

// Darkest and brightest of the column extremes over each run of `tile` columns, for the tiles that
// lie wholly inside the width; returns how many tiles it filled (none without SSE2).
int wholeTileExtremes(int width, int tile, int16_t* darkest, int16_t* brightest) {
    int c = 0;
#ifdef __SSE2__
    auto at = [](const std::vector<uint16_t>& v, int x) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(v.data() + x)); };
    if (tile == 4) {
        // Two tiles per load: the extremes of lanes 0-3 gather in lane 0, of lanes 4-7 in lane 4.
        for (; 8 * (c / 2) + 8 <= width; c += 2) {
            __m128i lo = at(columnLow, 4 * c), hi = at(columnHigh, 4 * c);
            lo = _mm_min_epi16(lo, _mm_srli_si128(lo, 2)), hi = _mm_max_epi16(hi, _mm_srli_si128(hi, 2));
            lo = _mm_min_epi16(lo, _mm_srli_si128(lo, 4)), hi = _mm_max_epi16(hi, _mm_srli_si128(hi, 4));
            darkest[c] = static_cast<int16_t>(_mm_extract_epi16(lo, 0)), darkest[c + 1] = static_cast<int16_t>(_mm_extract_epi16(lo, 4));
            brightest[c] = static_cast<int16_t>(_mm_extract_epi16(hi, 0)), brightest[c + 1] = static_cast<int16_t>(_mm_extract_epi16(hi, 4));
        }
    }
    if (tile % 8 == 0) {
        for (; (c + 1) * tile <= width; c++) {
            __m128i lo = at(columnLow, c * tile), hi = at(columnHigh, c * tile);
            for (int x = c * tile + 8; x < (c + 1) * tile; x += 8)
                lo = _mm_min_epi16(lo, at(columnLow, x)), hi = _mm_max_epi16(hi, at(columnHigh, x));
            lo = _mm_min_epi16(lo, _mm_srli_si128(lo, 8)), hi = _mm_max_epi16(hi, _mm_srli_si128(hi, 8));
            lo = _mm_min_epi16(lo, _mm_srli_si128(lo, 4)), hi = _mm_max_epi16(hi, _mm_srli_si128(hi, 4));
            lo = _mm_min_epi16(lo, _mm_srli_si128(lo, 2)), hi = _mm_max_epi16(hi, _mm_srli_si128(hi, 2));
            darkest[c] = static_cast<int16_t>(_mm_extract_epi16(lo, 0));
            brightest[c] = static_cast<int16_t>(_mm_extract_epi16(hi, 0));
        }
    }
#endif
    return c;
}

// Darkest and brightest channel sum of every tile.
void tileExtremes(const uint16_t* sums, int width, int height, const ThresholdMap& map) {
    const int tile = map.tileSize;
    low.resize(static_cast<size_t>(map.columns) * map.rows);
    high.resize(low.size());
    for (int r = 0; r < map.rows; r++) {
        columnExtremes(sums, width, r * tile, std::min(height, (r + 1) * tile));
        const int whole = wholeTileExtremes(width, tile, &low[r * map.columns], &high[r * map.columns]);
        for (int c = whole; c < map.columns; c++) {
            const int from = c * tile, to = std::min(width, from + tile);
            int darkest = columnLow[from], brightest = columnHigh[from];
            for (int x = from + 1; x < to; x++) {
                darkest = std::min(darkest, static_cast<int>(columnLow[x]));
                brightest = std::max(brightest, static_cast<int>(columnHigh[x]));
            }
            low[r * map.columns + c] = static_cast<int16_t>(darkest);
            high[r * map.columns + c] = static_cast<int16_t>(brightest);
        }
    }
}

template <bool Minimum>
int16_t pick(int16_t a, int16_t b) {
    return Minimum ? std::min(a, b) : std::max(a, b);
}

// out[i] = the minimum (or maximum) of a[i], b[i] and c[i] for i in [from, to).
template <bool Minimum>
void pickOfThree(const int16_t* a, const int16_t* b, const int16_t* c, int16_t* out, int from, int to) {
    int i = from;
#ifdef __SSE2__
    auto load = [](const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    auto pickEight = [](__m128i x, __m128i y) { return Minimum ? _mm_min_epi16(x, y) : _mm_max_epi16(x, y); };
    for (; i + 8 <= to; i += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), pickEight(pickEight(load(a + i), load(b + i)), load(c + i)));
#endif
    for (; i < to; i++) out[i] = pick<Minimum>(pick<Minimum>(a[i], b[i]), c[i]);
}

// 3 x 3 minimum (or maximum) of a tile grid, in place: along the rows, then down the columns;
// at the edges the missing neighbour is the tile itself.
template <bool Minimum>
void spread(std::vector<int16_t>& grid, int columns, int rows) {
    static std::vector<int16_t> across;
    across.resize(grid.size());
    for (int r = 0; r < rows; r++) {
        const int16_t* in = grid.data() + r * columns;
        int16_t* out = across.data() + r * columns;
        out[0] = pick<Minimum>(in[0], in[columns > 1 ? 1 : 0]);
        pickOfThree<Minimum>(in, in + 1, in + 2, out + 1, 0, columns - 2);
        if (columns > 1) out[columns - 1] = pick<Minimum>(in[columns - 2], in[columns - 1]);
    }
    for (int r = 0; r < rows; r++) {
        const int16_t* above = across.data() + (r > 0 ? r - 1 : r) * columns;
        const int16_t* here = across.data() + r * columns;
        const int16_t* below = across.data() + (r + 1 < rows ? r + 1 : r) * columns;
        pickOfThree<Minimum>(above, here, below, grid.data() + r * columns, 0, columns);
    }
}

}  // namespace

int localTileSize(int width) { return width < 1200 ? 8 : width < 2400 ? 16 : 32; }

void buildLocalLevels(const uint16_t* sums, int width, int height, const LocalLevelRule& rule, ThresholdMap* map) {
    map->resize(width, height, rule.tileSize);
    tileExtremes(sums, width, height, *map);
    // Spread over each tile's neighbours: a tile wholly inside a dark border still sees the light around it.
    spread<true>(low, map->columns, map->rows);
    spread<false>(high, map->columns, map->rows);
    for (size_t t = 0; t < map->limits.size(); t++) {
        const int darkest = low[t], brightest = high[t], contrast = brightest - darkest;
        const bool flat = contrast < rule.minContrast || contrast < rule.minRelativeContrast * brightest;
        const float ratioMiddle = std::sqrt(static_cast<float>((darkest + rule.offset) * (brightest + rule.offset)));
        const int share = darkest + contrast / rule.contrastDivisor;
        map->limits[t] = flat ? rule.flatLimit : std::min(share, static_cast<int>(ratioMiddle) - rule.offset);
    }
}
