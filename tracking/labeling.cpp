#include "tracking/labeling.h"

#include <cstring>

#include "tracking/camera.h"

namespace {

struct LabelStats {
    int count;
    long long sumX, sumY;  // 64-bit: a wide frame's coordinate sums exceed 32 bits
    int minX, maxX, minY, maxY;
};

int16_t labels[kMaxTrackerPixels];
int table[kMaxProvisionalLabels];
LabelStats stats[kMaxProvisionalLabels];
int areas[kMaxProvisionalLabels];
double centroids[2 * kMaxProvisionalLabels];
int boxes[4 * kMaxProvisionalLabels];
int regions = 0;
bool lastFailed = true;

void clearBorder(int w, int h) {
    std::memset(labels, 0, sizeof(int16_t) * w);
    std::memset(labels + (h - 1) * w, 0, sizeof(int16_t) * w);
    for (int y = 0; y < h; y++) {
        labels[y * w] = 0;
        labels[y * w + w - 1] = 0;
    }
}

void addPixel(int label, int x, int y) {
    LabelStats& s = stats[label - 1];
    s.count++;
    s.sumX += x;
    s.sumY += y;
    if (x < s.minX) s.minX = x;
    if (x > s.maxX) s.maxX = x;
    if (y < s.minY) s.minY = y;
    if (y > s.maxY) s.maxY = y;
}

// The table is kept as a forest whose roots are always the smallest label of their group, so
// findGroup returns exactly the value a fully rewritten table would hold; merging links the
// larger root under the smaller one instead of rewriting every entry (linear, not quadratic,
// on very noisy frames).
int findGroup(int label) {
    while (table[label - 1] != label) {
        int parent = table[label - 1];
        table[label - 1] = table[parent - 1];  // path halving keeps every entry inside the group
        label = parent;
    }
    return label;
}

int mergeLabels(int p, int q) {
    int m1 = findGroup(p), m2 = findGroup(q);
    if (m2 < m1) {
        table[m1 - 1] = m2;
        return m2;
    }
    if (m1 < m2) table[m2 - 1] = m1;
    return m1;
}

int openLabel(int& k, int x, int y) {
    if (k + 1 > kMaxProvisionalLabels) return -1;
    table[k] = k + 1;
    stats[k] = LabelStats{0, 0, 0, x, x, y, y};
    return ++k;
}

int labelFromNeighbours(const int16_t* above, const int16_t* here, int x) {
    if (above[x] > 0) return above[x];
    if (above[x + 1] > 0) {
        if (above[x - 1] > 0) return mergeLabels(above[x + 1], above[x - 1]);
        if (here[x - 1] > 0) return mergeLabels(above[x + 1], here[x - 1]);
        return above[x + 1];
    }
    if (above[x - 1] > 0) return above[x - 1];
    if (here[x - 1] > 0) return here[x - 1];
    return 0;
}

bool scanRows(const uint8_t* frame, int threshold, int w, int h, int& k) {
    int limit = 3 * threshold;
    for (int y = 1; y < h - 1; y++) {
        const uint8_t* pixel = frame + (static_cast<long>(y) * w + 1) * 4;
        int16_t* here = labels + y * w;
        const int16_t* above = here - w;
        for (int x = 1; x < w - 1; x++, pixel += 4) {
            if (pixel[0] + pixel[1] + pixel[2] > limit) {
                here[x] = 0;
                continue;
            }
            int label = labelFromNeighbours(above, here, x);
            if (label == 0) label = openLabel(k, x, y);
            if (label < 0) return false;
            here[x] = static_cast<int16_t>(label);
            addPixel(label, x, y);
        }
    }
    return true;
}

// Every entry's parent is a smaller label, so one ascending pass flattens the forest into
// group minima and then numbers the groups in the order of their smallest labels.
int renumber(int k) {
    for (int i = 1; i <= k; i++)
        if (table[i - 1] != i) table[i - 1] = table[table[i - 1] - 1];
    int counter = 1;
    for (int i = 1; i <= k; i++) {
        if (table[i - 1] == i)
            table[i - 1] = counter++;
        else
            table[i - 1] = table[table[i - 1] - 1];
    }
    return counter - 1;
}

void gatherRegions(int k, int w, int h) {
    double* sums = centroids;  // accumulated in place, divided at the end
    for (int r = 0; r < regions; r++) {
        areas[r] = 0;
        sums[2 * r] = sums[2 * r + 1] = 0.0;
        int* box = boxes + 4 * r;
        box[0] = w, box[1] = 0, box[2] = h, box[3] = 0;
    }
    for (int i = 0; i < k; i++) {
        int r = table[i] - 1;
        const LabelStats& s = stats[i];
        areas[r] += s.count;
        sums[2 * r] += static_cast<double>(s.sumX);
        sums[2 * r + 1] += static_cast<double>(s.sumY);
        int* box = boxes + 4 * r;
        if (s.minX < box[0]) box[0] = s.minX;
        if (s.maxX > box[1]) box[1] = s.maxX;
        if (s.minY < box[2]) box[2] = s.minY;
        if (s.maxY > box[3]) box[3] = s.maxY;
    }
    for (int r = 0; r < regions; r++) {
        centroids[2 * r] = sums[2 * r] / areas[r];
        centroids[2 * r + 1] = sums[2 * r + 1] / areas[r];
    }
}

}  // namespace

int16_t* labelImage(const uint8_t* frame, int threshold, int* regionCount, int** areasOut, double** centroidsOut,
                    int** boundingBoxes, int** labelTable) {
    int w, h;
    trackerImageSize(&w, &h);
    *regionCount = 0;
    *areasOut = areas;
    *centroidsOut = centroids;
    *boundingBoxes = boxes;
    *labelTable = table;
    regions = 0;
    lastFailed = true;
    if (w <= 0 || h <= 0) return nullptr;
    clearBorder(w, h);
    int k = 0;
    if (!scanRows(frame, threshold, w, h, k)) return nullptr;
    regions = renumber(k);
    if (regions > 0) gatherRegions(k, w, h);
    *regionCount = regions;
    lastFailed = false;
    return labels;
}

LabelResult lastLabelResult() {
    return LabelResult{lastFailed ? nullptr : labels, regions, areas, centroids, boxes, table};
}
