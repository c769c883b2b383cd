// Binarisation and 8-connected labeling of dark pixels in one raster pass.
#pragma once

#include <cstdint>

constexpr int kMaxProvisionalLabels = 32767;  // the largest value a 16-bit label holds

struct LabelResult {
    int16_t* labelImage;   // W*H provisional labels, null when the labels ran out
    int regionCount;
    int* areas;            // per region r at r-1
    double* centroids;     // x, y per region
    int* boundingBoxes;    // min x, max x, min y, max y per region
    int* labelTable;       // final region of provisional label p at p-1
};

// Labels a 4-byte-per-pixel frame of the tracker image size. Returns the label image,
// or null when the frame needs more provisional labels than a 16-bit label holds or
// no image size is installed.
int16_t* labelImage(const uint8_t* frame, int threshold, int* regionCount, int** areas, double** centroids,
                    int** boundingBoxes, int** labelTable);
// The outputs of the last labelImage call.
LabelResult lastLabelResult();
