// Per-tile binarisation levels from the frame's local dark and light, for light that changes
// across the picture (gradients, shadow edges).
#pragma once

#include <cstdint>

#include "tracking/threshold_map.h"

struct LocalLevelRule {
    // The limit is 1 / contrastDivisor of the way from the local dark to the local light, or lower:
    // the geometric mean of the two sums raised by `offset` (less the offset). A shadow scales the
    // light, so near a shadow's edge the ratio's middle still lies between the ink and the shadowed table.
    int contrastDivisor = 5;
    int offset = 6;
    int minContrast = 60;   // channel-sum spread below which a neighbourhood counts as flat
    double minRelativeContrast = 0.0;  // ... or below this share of its brightest sum
    int flatLimit = 300;    // the limit of flat neighbourhoods
    int tileSize = 8;       // a power of two
};

// Tile side in frame pixels for a frame width: about 80 tiles across, a power of two.
int localTileSize(int width);
// Fills `map` for an image of channel sums: each tile's limit comes from the darkest and brightest
// sums of the tile and its eight neighbours.
void buildLocalLevels(const uint16_t* sums, int width, int height, const LocalLevelRule& rule, ThresholdMap* map);
