#include "tracking/threshold_map.h"

#include <bit>
#include <cstddef>

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
    tileSize = tile;
    columns = (width + tile - 1) / tile;
    rows = (height + tile - 1) / tile;
    limits.assign(static_cast<size_t>(columns) * rows, 0);
    columnLimits.resize(columns);
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

void ThresholdMap::rowLimits(int y, int* out) const {
    const int span = 2 * tileSize;
    const int shift = 2 * std::countr_zero(static_cast<unsigned>(span));
    int r0, r1, wy;
    splitPosition(y, tileSize, rows, &r0, &r1, &wy);
    const int* upper = limits.data() + r0 * columns;
    const int* lower = limits.data() + r1 * columns;
    int* column = columnLimits.data();  // scaled by span
    for (int c = 0; c < columns; c++) column[c] = upper[c] * (span - wy) + lower[c] * wy;
    for (const Span& s : spans) {
        const int a = column[s.left], b = column[s.right];
        const int step = 2 * (b - a);  // the weight of `right` grows by 2 per pixel
        int value = a * (span - s.weight) + b * s.weight;
        for (int x = s.start; x < s.end; x++, value += step) out[x] = value >> shift;
    }
}
