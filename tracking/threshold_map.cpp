#include "tracking/threshold_map.h"

#include <algorithm>
#include <bit>
#include <cstddef>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Position of pixel p between tile centres i0 and i1 = i0 + 1 (the weight w of i1, out of twice
// the tile size); outside the outermost centres the nearest one alone counts.
void splitPosition(int p, int tile, int count, int* i0, int* i1, int* w) {
    const int span = 2 * tile;
    const int position = 2 * p + 1 - tile;  // in half pixels from the first centre
    if (position <= 0 || count == 1) {
        *i0 = *i1 = 0, *w = 0;
        return;
    }
    *i0 = position / span;
    if (*i0 >= count - 1) {
        *i0 = *i1 = count - 1, *w = 0;
        return;
    }
    *i1 = *i0 + 1;
    *w = position - *i0 * span;
}

}  // namespace

void ThresholdMap::resize(int width, int height, int tile) {
    tile = std::max(tile, 2);  // a tile of one point would leave the first span empty
    tileSize = tile;
    columns = (width + tile - 1) / tile;
    rows = (height + tile - 1) / tile;
    limits.assign(static_cast<size_t>(columns) * rows, 0);
    rowLevels.resize(columns + 9);
    spans.clear();
    for (int x = 0; x < width;) {
        Span s;
        splitPosition(x, tile, columns, &s.left, &s.right, &s.weight);
        // Every pixel up to the next tile centre shares the pair.
        bool edge = s.left == s.right;
        s.start = x;
        s.end = edge ? (s.left == 0 && columns > 1 ? tile / 2 : width) : s.right * tile + tile / 2;
        if (s.end > width) s.end = width;
        spans.push_back(s);
        x = s.end;
    }
}

void ThresholdMap::interpolateColumns(int y) const {
    const int span = 2 * tileSize, shift = std::countr_zero(static_cast<unsigned>(span));
    int r0, r1, wy;
    splitPosition(y, tileSize, rows, &r0, &r1, &wy);
    const int* upper = limits.data() + r0 * columns;
    const int* lower = limits.data() + r1 * columns;
    for (int c = 0; c < columns; c++) rowLevels[c] = (upper[c] * (span - wy) + lower[c] * wy) >> shift;
}

void ThresholdMap::markRange(const uint16_t* sums, int from, int to, uint8_t* dark) const {
    const int span = 2 * tileSize, shift = std::countr_zero(static_cast<unsigned>(span));
    // Span 0 ends at the first tile centre, span k + 1 starts at the centre of tile k.
    const size_t first = from < tileSize / 2 ? 0 : std::min(spans.size() - 1, static_cast<size_t>(1 + (from - tileSize / 2) / tileSize));
    for (size_t k = first; k < spans.size() && spans[k].start < to; k++) {
        const Span& s = spans[k];
        // Limits beyond the range of channel sums act alike; clamped, as the four-tile path does.
        const int a = std::clamp(rowLevels[s.left], -1, 766), b = std::clamp(rowLevels[s.right], -1, 766);
        const int first = std::max(from, s.start), last = std::min(to, s.end);
        int value = a * (span - s.weight) + b * s.weight + 2 * (b - a) * (first - s.start);
        for (int x = first; x < last; x++, value += 2 * (b - a)) dark[x] = sums[x] <= (value >> shift);
    }
}

#ifdef __SSE2__
// Tiles of 4: the points between two tile centres lie 1/8, 3/8, 5/8 and 7/8 of the way; eight
// points, two tile pairs, per step. Returns the first point not marked.
int ThresholdMap::markFourTiles(const uint16_t* sums, int width, uint8_t* dark) const {
    const __m128i weights = _mm_setr_epi16(1, 3, 5, 7, 1, 3, 5, 7), one = _mm_set1_epi16(1);
    const __m128i flagBit = _mm_set1_epi8(1), zero = _mm_setzero_si128();
    const __m128i lowest = _mm_set1_epi16(-1), highest = _mm_set1_epi16(766);
    auto levelsFrom = [&](int c) {
        const __m128i* at = reinterpret_cast<const __m128i*>(rowLevels.data() + c);
        const __m128i packed = _mm_packs_epi32(_mm_loadu_si128(at), _mm_loadu_si128(at + 1));
        return _mm_min_epi16(_mm_max_epi16(packed, lowest), highest);
    };
    int c = 0;
    for (; c + 3 <= columns && 4 * c + 10 <= width; c += 2) {
        const __m128i here = levelsFrom(c), next = levelsFrom(c + 1);
        const __m128i a = _mm_unpacklo_epi32(_mm_unpacklo_epi16(here, here), _mm_unpacklo_epi16(here, here));
        const __m128i b = _mm_unpacklo_epi32(_mm_unpacklo_epi16(next, next), _mm_unpacklo_epi16(next, next));
        const __m128i limit = _mm_add_epi16(a, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(b, a), weights), 3));
        const __m128i point = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + 4 * c + 2));
        const __m128i mask = _mm_cmpgt_epi16(_mm_add_epi16(limit, one), point);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dark + 4 * c + 2), _mm_and_si128(_mm_packs_epi16(mask, zero), flagBit));
    }
    return 4 * c + 2;
}
#endif

void ThresholdMap::markDarkRow(int y, const uint16_t* sums, uint8_t* dark) const {
    interpolateColumns(y);
    int from = 0;
#ifdef __SSE2__
    if (tileSize == 4 && columns > 2) {
        markRange(sums, 0, 2, dark);
        from = markFourTiles(sums, spans.back().end, dark);
    }
#endif
    markRange(sums, from, spans.back().end, dark);
}
