// Binarisation and 8-connected labeling of dark pixels in one raster pass.
#pragma once

#include <cstdint>

// One provisional label per pixel. 32 bits: an HD frame can need more labels than 16 bits hold.
using Label = int32_t;

struct LabelResult {
    Label* labelImage;     // W*H provisional labels, null when labeling failed
    int regionCount;
    int* areas;            // per region r at r-1
    double* centroids;     // x, y per region
    int* boundingBoxes;    // min x, max x, min y, max y per region
    int* labelTable;       // final region of provisional label p at p-1
};

// Brightness levels per tile for labeling under uneven light; built by the automatic thresholding.
struct ThresholdMap;

// Labels a 4-byte-per-pixel frame of the tracker image size: a pixel is dark when the sum of its
// three channels is at most 3 * threshold. Returns the label image, or null when no image size is
// installed or the work areas cannot grow to the frame.
Label* labelImage(const uint8_t* frame, int threshold, int* regionCount, int** areas, double** centroids,
                  int** boundingBoxes, int** labelTable);
// The same labeling of a w x h image of channel sums (a sampled copy of a frame): a point is dark
// when its sum is at most `limit`. Fails (null) once more than `budget` provisional labels are
// needed, which bounds the work on a frame full of specks. Fills `out` and returns its label image.
Label* labelSums(const uint16_t* sums, int w, int h, int limit, int budget, LabelResult* out);
// The same with the map's limit at each point (the map laid over the w x h image).
Label* labelSumsLocal(const uint16_t* sums, int w, int h, const ThresholdMap& map, int budget, LabelResult* out);
