#include "tracking/pattern.h"
#include "platform/file_path.h"
#include "platform/file_replace.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <string>

#include "tracking/camera.h"
#include "tracking/diagnostics.h"
#include "tracking/double_pair.h"
#include "tracking/matrix.h"

// Points per side of the grid a pattern is sampled with, at most.
constexpr int kMaxGridSize = 64;

namespace {

struct PatternSlot {
    // Centred values lie within +-255: 16 bits let the correlation multiply eight at a time.
    int16_t values[4][kPatternCells];
    double norm[4];
};

bool slotInUse[kMaxPatterns];
PatternSlot slots[kMaxPatterns];
int patternCount = 0;
bool storeInitialised = false;

int freeSlot() {
    for (int i = 0; i < kMaxPatterns; i++)
        if (!slotInUse[i]) return i;
    return -1;
}

// Reads one orientation's 768 values; counts the numbers read into *read.
bool readOrientation(FILE* file, int16_t* values, int* read) {
    for (int channel = 0; channel < 3; channel++) {
        for (int row = 0; row < kPatternSize; row++) {
            for (int col = 0; col < kPatternSize; col++) {
                long v;
                // An intensity outside 0..255 is as malformed as a missing one (and would
                // overflow the template sums).
                if (std::fscanf(file, "%ld", &v) != 1 || v < 0 || v > 255) return false;
                values[(row * kPatternSize + col) * 3 + channel] = static_cast<int16_t>(255 - v);
                ++*read;
            }
        }
    }
    return true;
}

// After centring, a template without contrast is all zeros and can match nothing.
bool isFlat(const int16_t* values) {
    for (int i = 0; i < kPatternCells; i++)
        if (values[i] != 0) return false;
    return true;
}

// Line of the file position where reading stopped, counted from 1.
long lineAt(FILE* file) {
    long stop = std::ftell(file), line = 1;
    std::rewind(file);
    for (long at = 0; at < stop; at++) {
        int c = std::fgetc(file);
        if (c == EOF) break;
        if (c == '\n') line++;
    }
    return line;
}

std::string malformedReason(FILE* file, const char* path, int read) {
    bool atEnd = std::feof(file) != 0;
    return std::string(path) + ":" + std::to_string(lineAt(file)) + ": expected a whole number from 0 to 255" +
           (atEnd ? " at end of file" : "") + " (number " + std::to_string(read + 1) + " of " +
           std::to_string(kPatternFileValues) + ")";
}

double centreTemplate(int16_t* values) {
    int sum = 0;
    for (int i = 0; i < kPatternCells; i++) sum += values[i];
    int mean = sum / kPatternCells;
    double squares = 0.0;
    for (int i = 0; i < kPatternCells; i++) {
        values[i] = static_cast<int16_t>(values[i] - mean);
        squares += static_cast<double>(values[i]) * values[i];
    }
    double norm = std::sqrt(squares);
    return norm == 0.0 ? 1e-7 : norm;
}

// The grid's points along one axis of the pattern square (102.5 .. 107.5) times the homography's
// factors for that axis, and the offset of the cell each falls in: worked out once per axis rather
// than once per point, with the products and sums of mapping each point alone, to the bit.
struct GridAxis {
    double first[kMaxGridSize], second[kMaxGridSize], perspective[kMaxGridSize];
};

void gridAxis(int n, double first, double second, double perspective, GridAxis* axis) {
    for (int i = 0; i < n; i++) {
        double p = 102.5 + 5.0 * (i + 0.5) / n;
        axis->first[i] = first * p;
        axis->second[i] = second * p;
        axis->perspective[i] = perspective * p;
    }
}

// Frame points of grid row j, two at a time (the divisions are most of the work); false when one
// of them lies at infinity.
bool gridRow(const double h[8], const GridAxis& across, int nx, const GridAxis& down, int j, double* x, double* y) {
    long atInfinity = 0;
    for (int i = 0; i < nx; i += 2) {
        const DoublePair q = loadPair(across.perspective + i) + down.perspective[j] + 1.0;
        const auto zero = q == 0.0;
        atInfinity |= zero[0] | zero[1];
        storePair(x + i, (loadPair(across.first + i) + down.first[j] + h[2]) / q);
        storePair(y + i, (loadPair(across.second + i) + down.second[j] + h[5]) / q);
    }
    return atInfinity == 0;
}

int squaredLength(const double x[4], const double y[4], int a, int b) {
    double dx = x[a] - x[b], dy = y[a] - y[b];
    return static_cast<int>(dx * dx + dy * dy);
}

int maxOf(int a, int b) { return a > b ? a : b; }

}  // namespace

void clearPatterns() {
    for (bool& used : slotInUse) used = false;
    patternCount = 0;
    storeInitialised = true;
}

int loadedPatternCount() { return patternCount; }

double patternLikeness(int a, int b) {
    if (a < 0 || b < 0 || a >= kMaxPatterns || b >= kMaxPatterns || !slotInUse[a] || !slotInUse[b]) return 0.0;
    double best = 0.0;
    for (int d = 0; d < 4; d++) {
        double dot = 0.0;
        for (int k = 0; k < kPatternCells; k++) dot += static_cast<double>(slots[a].values[0][k]) * slots[b].values[d][k];
        best = std::fmax(best, dot / slots[a].norm[0] / slots[b].norm[d]);
    }
    return best;
}

namespace {

// The plain load, and with refuseFlat also the refusal of orientations
// without contrast; on failure the slot stays free and `why` says why.
int loadPatternFile(const char* path, bool refuseFlat, std::string* why) {
    if (!storeInitialised) clearPatterns();
    int slot = freeSlot();
    if (slot < 0) {
        *why = std::string(path) + ": cannot load more than " + std::to_string(kMaxPatterns) + " patterns";
        return -1;
    }
    std::string openWhy;
    FILE* file = openFile(path, "r", &openWhy);
    if (!file) {
        std::fprintf(trackerDiagnostics(), "\"%s\" not found!!\n", path);
        *why = std::string(path) + ": " + openWhy;
        return -1;
    }
    skipByteOrderMark(file);
    PatternSlot& s = slots[slot];
    int read = 0;
    for (int d = 0; d < 4 && why->empty(); d++) {
        if (!readOrientation(file, s.values[d], &read)) {
            std::fprintf(trackerDiagnostics(), "Pattern Data read error!!\n");
            *why = malformedReason(file, path, read);
            break;
        }
        s.norm[d] = centreTemplate(s.values[d]);
        if (refuseFlat && isFlat(s.values[d]))
            *why = std::string(path) + ": orientation " + std::to_string(d) +
                   " has no contrast (all its values are equal), so it could never be recognised";
    }
    std::fclose(file);
    if (!why->empty()) return -1;
    slotInUse[slot] = true;
    patternCount++;
    return slot;
}

}  // namespace

int loadPattern(const char* path) {
    std::string why;
    return loadPatternFile(path, false, &why);
}

int loadPatternChecked(const char* path, std::string* why) {
    std::string reason;
    int slot = loadPatternFile(path, true, &reason);
    if (why) *why = reason;
    return slot;
}

int savePatternFile(const char* path, const uint8_t values[kPatternFileValues], std::string* why) {
    auto write = [values](std::FILE* file) {
        for (int i = 0; i < kPatternFileValues; i++)
            if (std::fprintf(file, (i % kPatternSize == kPatternSize - 1) ? "%4d\n" : "%4d", values[i]) < 0) return false;
        return true;
    };
    return replaceFile(path, write, why) ? 0 : -1;
}

int patternGridSize(int squaredSide) {
    int quarter = squaredSide / 4;
    int n = 16;
    if (quarter > 256)
        while (n * n < quarter && n < kMaxGridSize) n *= 2;
    return n;
}

int fitSquareHomography(const double x[4], const double y[4], double h[8]) {
    static const double px[4] = {100.0, 110.0, 110.0, 100.0};
    static const double py[4] = {100.0, 100.0, 110.0, 110.0};
    // Small fixed-size system: stack storage viewed as matrices, no allocation per marker.
    double system[64], right[8], solution[8];
    Matrix a{system, 8, 8}, b{right, 8, 1}, c{solution, 8, 1};
    for (int i = 0; i < 4; i++) {
        const double rowX[8] = {px[i], py[i], 1, 0, 0, 0, -px[i] * x[i], -py[i] * x[i]};
        const double rowY[8] = {0, 0, 0, px[i], py[i], 1, -px[i] * y[i], -py[i] * y[i]};
        for (int k = 0; k < 8; k++) {
            system[(2 * i) * 8 + k] = rowX[k];
            system[(2 * i + 1) * 8 + k] = rowY[k];
        }
        right[2 * i] = x[i];
        right[2 * i + 1] = y[i];
    }
    if (invertMatrixInPlace(&a) < 0 || multiplyMatrix(&c, &a, &b) < 0) return -1;
    for (int k = 0; k < 8; k++) h[k] = solution[k];
    return 0;
}

int samplePattern(const uint8_t* frame, const double h[8], const double x[4], const double y[4],
                  uint8_t sample[kPatternCells]) {
    int width, height;
    trackerImageSize(&width, &height);
    int nx = patternGridSize(maxOf(squaredLength(x, y, 0, 1), squaredLength(x, y, 2, 3)));
    int ny = patternGridSize(maxOf(squaredLength(x, y, 1, 2), squaredLength(x, y, 3, 0)));
    GridAxis across, down;
    gridAxis(nx, h[0], h[3], h[6], &across);
    gridAxis(ny, h[1], h[4], h[7], &down);
    const int perCellAcross = nx / kPatternSize;
    unsigned int sums[kPatternCells] = {};
    for (int j = 0; j < ny; j++) {
        double rowX[kMaxGridSize], rowY[kMaxGridSize];
        if (!gridRow(h, across, nx, down, j, rowX, rowY)) return -1;
        unsigned int* cell = sums + j / (ny / kPatternSize) * kPatternSize * 3;
        // A cell's points of the row are summed in registers first, not through memory point by point.
        for (int c = 0; c < kPatternSize; c++, cell += 3) {
            unsigned int blue = 0, green = 0, red = 0;
            for (int i = c * perCellAcross; i < (c + 1) * perCellAcross; i++) {
                const double fx = rowX[i], fy = rowY[i];
                if (!(fx > -1.0 && fy > -1.0 && fx < width && fy < height)) continue;  // truncates into range
                int sx = static_cast<int>(fx), sy = static_cast<int>(fy);
                const uint8_t* pixel = frame + (static_cast<long>(sy) * width + sx) * 4;
                blue += pixel[0], green += pixel[1], red += pixel[2];
            }
            cell[0] += blue, cell[1] += green, cell[2] += red;
        }
    }
    // Each cell's mean: its point count is a power of two.
    const int shift = std::countr_zero(static_cast<unsigned>(perCellAcross * (ny / kPatternSize)));
    for (int k = 0; k < kPatternCells; k++) sample[k] = static_cast<uint8_t>(sums[k] >> shift);
    return 0;
}

void matchPattern(const uint8_t sample[kPatternCells], int* id, int* orientation, double* confidence) {
    int16_t input[kPatternCells];
    int sum = 0;
    for (int k = 0; k < kPatternCells; k++) sum += 255 - sample[k];
    int mean = sum / kPatternCells;
    double squares = 0.0;
    for (int k = 0; k < kPatternCells; k++) {
        input[k] = static_cast<int16_t>(255 - sample[k] - mean);
        squares += static_cast<double>(input[k]) * input[k];
    }
    double norm = std::sqrt(squares);
    if (norm == 0.0) {
        *id = 0, *orientation = 0, *confidence = -1.0;
        return;
    }
    double best = 0.0;
    *id = -1, *orientation = -1;
    for (int slot = 0; slot < kMaxPatterns; slot++) {
        if (!slotInUse[slot]) continue;
        for (int d = 0; d < 4; d++) {
            int dot = 0;
            for (int k = 0; k < kPatternCells; k++) dot += input[k] * slots[slot].values[d][k];
            double c = dot / slots[slot].norm[d] / norm;
            if (c > best) *id = slot, *orientation = d, best = c;
        }
    }
    *confidence = best;
}

void identifyMarker(const uint8_t* frame, const int* contourX, const int* contourY, const int cornerIndex[4], int* id,
                    int* orientation, double* confidence) {
    double x[4], y[4], h[8];
    for (int i = 0; i < 4; i++) {
        x[i] = contourX[cornerIndex[i]];
        y[i] = contourY[cornerIndex[i]];
    }
    uint8_t sample[kPatternCells];
    if (fitSquareHomography(x, y, h) < 0 || samplePattern(frame, h, x, y, sample) < 0) {
        *id = -1, *orientation = -1, *confidence = 0.0;
        return;
    }
    matchPattern(sample, id, orientation, confidence);
}
