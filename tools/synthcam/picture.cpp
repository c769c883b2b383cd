#include <cstddef>

#include "synthcam.h"

namespace {

void fill(SynthPicture& p, double x0, double y0, double x1, double y1, uint8_t r, uint8_t g, uint8_t b) {
    for (int y = 0; y < p.size; y++) {
        for (int x = 0; x < p.size; x++) {
            double u = (x + 0.5) / p.size, v = (y + 0.5) / p.size;
            if (u < x0 || u >= x1 || v < y0 || v >= y1) continue;
            uint8_t* px = &p.rgb[(static_cast<size_t>(y) * p.size + x) * 3];
            px[0] = r, px[1] = g, px[2] = b;
        }
    }
}

SynthPicture blankMarker(int size) {
    SynthPicture p;
    p.size = size;
    p.rgb.assign(static_cast<size_t>(size) * size * 3, 0);
    fill(p, 0.25, 0.25, 0.75, 0.75, 255, 255, 255);
    return p;
}

}  // namespace

SynthPicture defaultMarkerPicture(int size) {
    SynthPicture p = blankMarker(size);
    // A letter-like "F" with a red dot: no quarter turn maps it onto itself.
    fill(p, 0.34, 0.31, 0.44, 0.69, 0, 0, 0);
    fill(p, 0.34, 0.31, 0.66, 0.41, 0, 0, 0);
    fill(p, 0.34, 0.47, 0.58, 0.56, 0, 0, 0);
    fill(p, 0.56, 0.59, 0.66, 0.69, 200, 30, 30);
    return p;
}

SynthPicture secondMarkerPicture(int size) {
    SynthPicture p = blankMarker(size);
    fill(p, 0.31, 0.31, 0.50, 0.50, 0, 0, 0);
    fill(p, 0.50, 0.50, 0.69, 0.69, 30, 30, 160);
    fill(p, 0.56, 0.31, 0.69, 0.40, 0, 0, 0);
    return p;
}

SynthPicture codedMarkerPicture(int index, int size) {
    SynthPicture p = blankMarker(size);
    // An odd factor makes the scramble one-to-one over the 12 free cells' 4096 codes.
    const unsigned code = (static_cast<unsigned>(index) * 2765u + 1234u) % 4096u;
    int bit = 0;
    for (int row = 0; row < 4; row++)
        for (int col = 0; col < 4; col++) {
            const bool corner = (row == 0 || row == 3) && (col == 0 || col == 3);
            const bool dark = corner ? row == 0 && col == 0 : (code >> bit++) & 1u;
            if (dark) fill(p, 0.25 + 0.125 * col, 0.25 + 0.125 * row, 0.375 + 0.125 * col, 0.375 + 0.125 * row, 0, 0, 0);
        }
    return p;
}

SynthPicture blankSheetPicture() {
    SynthPicture p;
    p.size = 1;
    p.rgb.assign(3, 255);
    return p;
}

SynthPicture chessboardPicture(int cols, int rows) {
    SynthPicture p;
    p.size = (cols > rows ? cols : rows) + 3;
    p.rgb.assign(static_cast<size_t>(p.size) * p.size * 3, 255);
    int left = (p.size - cols - 1) / 2, top = (p.size - rows - 1) / 2;  // centred as far as whole squares allow
    for (int y = top; y <= top + rows; y++)
        for (int x = left; x <= left + cols; x++)
            if ((x - left + y - top) % 2 == 0)
                for (int c = 0; c < 3; c++) p.rgb[(y * p.size + x) * 3 + c] = 0;
    return p;
}

void makePatternValues(const SynthPicture& picture, uint8_t values[kPatternFileValues]) {
    const int n = picture.size, samples = 8;
    for (int d = 0; d < 4; d++) {
        for (int row = 0; row < kPatternSize; row++) {
            for (int col = 0; col < kPatternSize; col++) {
                unsigned sum[3] = {0, 0, 0};
                for (int sy = 0; sy < samples; sy++) {
                    for (int sx = 0; sx < samples; sx++) {
                        // Position in the turned inner half, then turned back d quarter turns.
                        double u = 0.25 + 0.5 * (col + (sx + 0.5) / samples) / kPatternSize;
                        double v = 0.25 + 0.5 * (row + (sy + 0.5) / samples) / kPatternSize;
                        for (int k = 0; k < d; k++) {
                            double t = u;
                            u = 1.0 - v;
                            v = t;
                        }
                        int x = static_cast<int>(u * n), y = static_cast<int>(v * n);
                        const uint8_t* px = &picture.rgb[(static_cast<size_t>(y) * n + x) * 3];
                        for (int c = 0; c < 3; c++) sum[c] += px[2 - c];  // file channel 0 is blue
                    }
                }
                for (int c = 0; c < 3; c++)
                    values[((d * 3 + c) * kPatternSize + row) * kPatternSize + col] =
                        static_cast<uint8_t>(sum[c] / (samples * samples));
            }
        }
    }
}
