#include "tracking/labeling.h"

#include <bit>
#include <cstring>
#include <new>
#include <vector>

#include "tracking/camera.h"
#include "tracking/dark_mask.h"
#include "tracking/threshold_map.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

struct LabelStats {
    int count;
    long long sumX, sumY;  // 64-bit: a wide frame's coordinate sums exceed 32 bits
    int minX, maxX, minY, maxY;
};

// Work areas grow to the largest frame and label count seen and are then reused, so a steady
// stream of frames allocates nothing.
std::vector<Label> labels;
std::vector<int> table;
std::vector<LabelStats> stats;
std::vector<int> areas;
std::vector<double> centroids;
std::vector<int> boxes;
std::vector<uint8_t> darkRow;  // one row's dark flags, padded so the scan may read 8 at a time
int regions = 0;

constexpr int kInitialLabelCapacity = 32768;
constexpr int kNoBudget = -1;

bool reserveFrame(int w, int h) {
    try {
        size_t pixels = static_cast<size_t>(w) * h;
        if (labels.size() < pixels) labels.resize(pixels);
        if (darkRow.size() < static_cast<size_t>(w) + 8) darkRow.assign(static_cast<size_t>(w) + 8, 0);
        if (table.size() < static_cast<size_t>(kInitialLabelCapacity)) {
            table.resize(kInitialLabelCapacity);
            stats.resize(kInitialLabelCapacity);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool growLabels() {
    try {
        table.resize(table.size() * 2);
        stats.resize(table.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// Pixels of one row given the same label one after another, added to its statistics at once.
struct RowRun {
    int label, count, firstX, lastX;
    long long sumX;
};

void flushRun(LabelStats* all, const RowRun& run, int y) {
    if (run.label == 0) return;
    LabelStats& s = all[run.label - 1];
    s.count += run.count;
    s.sumX += run.sumX;
    s.sumY += static_cast<long long>(y) * run.count;
    if (run.firstX < s.minX) s.minX = run.firstX;
    if (run.lastX > s.maxX) s.maxX = run.lastX;
    if (y < s.minY) s.minY = y;
    if (y > s.maxY) s.maxY = y;
}

// The table is kept as a forest whose roots are always the smallest label of their group, so
// findGroup returns exactly the value a fully rewritten table would hold; merging links the
// larger root under the smaller one instead of rewriting every entry (linear, not quadratic,
// on very noisy frames).
int findGroup(int* t, int label) {
    while (t[label - 1] != label) {
        int parent = t[label - 1];
        t[label - 1] = t[parent - 1];  // path halving keeps every entry inside the group
        label = parent;
    }
    return label;
}

int mergeLabels(int* t, int p, int q) {
    int m1 = findGroup(t, p), m2 = findGroup(t, q);
    if (m2 < m1) {
        t[m1 - 1] = m2;
        return m2;
    }
    if (m1 < m2) t[m2 - 1] = m1;
    return m1;
}

int labelFromNeighbours(int* t, const Label* above, const Label* here, int x) {
    if (above[x] > 0) return above[x];
    if (above[x + 1] > 0) {
        if (above[x - 1] > 0) return mergeLabels(t, above[x + 1], above[x - 1]);
        if (here[x - 1] > 0) return mergeLabels(t, above[x + 1], here[x - 1]);
        return above[x + 1];
    }
    if (above[x - 1] > 0) return above[x - 1];
    if (here[x - 1] > 0) return here[x - 1];
    return 0;
}

// Offset of the first dark flag among the 8 at `flags`, or 8 when all are clear.
int firstDarkOfEight(const uint8_t* flags) {
    uint64_t word;
    std::memcpy(&word, flags, 8);
    if (word == 0) return 8;
    if constexpr (std::endian::native == std::endian::little) return std::countr_zero(word) / 8;
    return std::countl_zero(word) / 8;
}

// Provisional labels one labeling may open; past it the labeling fails.
int labelBudget = 0;

int openLabel(int& k, int x, int y) {
    if (k == labelBudget) return -1;
    if (k == static_cast<int>(table.size()) && !growLabels()) return -1;
    table[k] = k + 1;
    stats[k] = LabelStats{0, 0, 0, x, x, y, y};
    return ++k;
}

// Labels the dark pixels of one row; `here` is all 0 on entry. False when the labels cannot grow.
// The work areas' addresses are held in locals: stores into the label image cannot move them.
bool labelRow(const uint8_t* dark, const Label* above, Label* here, int w, int y, int& k) {
    int* t = table.data();
    RowRun run{0, 0, 0, 0, 0};
    for (int x = 1; x < w - 1;) {
        int skip = firstDarkOfEight(dark + x);
        x += skip;
        if (skip == 8 || x >= w - 1) continue;
        for (; dark[x] && x < w - 1; x++) {
            int label = labelFromNeighbours(t, above, here, x);
            if (label == 0) {
                flushRun(stats.data(), run, y);  // growing may move the statistics
                run.label = 0;
                if ((label = openLabel(k, x, y)) < 0) return false;
                t = table.data();
            }
            here[x] = label;
            if (label != run.label) {
                flushRun(stats.data(), run, y);
                run = RowRun{label, 0, x, x, 0};
            }
            run.count++;
            run.sumX += x;
            run.lastX = x;
        }
    }
    flushRun(stats.data(), run, y);
    return true;
}

// A stretch of dark points of one row, [start, end], and its provisional label.
struct Run {
    int start, end, label;
};
std::vector<Run> runsAbove, runsHere;

// Offset of the first clear flag among the 8 at `flags`, or 8 when all are set.
int firstClearOfEight(const uint8_t* flags) {
    uint64_t word;
    std::memcpy(&word, flags, 8);
    const uint64_t clear = ~word & 0x0101010101010101ull;  // flags are 0 or 1
    if (clear == 0) return 8;
    if constexpr (std::endian::native == std::endian::little) return std::countr_zero(clear) / 8;
    return std::countl_zero(clear) / 8;
}

void fillLabel(Label* to, int count, Label label) {
    int i = 0;
#ifdef __SSE2__
    const __m128i value = _mm_set1_epi32(label);
    for (; i + 4 <= count; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), value);
#endif
    for (; i < count; i++) to[i] = label;
}

void addRun(LabelStats& s, int start, int end, int y) {
    const int n = end - start + 1;
    s.count += n;
    s.sumX += static_cast<long long>(start + end) * n / 2;
    s.sumY += static_cast<long long>(y) * n;
    if (start < s.minX) s.minX = start;
    if (end > s.maxX) s.maxX = end;
    if (y > s.maxY) s.maxY = y;
}

// Labels the dark points of one row a stretch at a time: a stretch takes the group of every
// stretch of the row above that it touches (8-connected), merging them. The label image then
// holds some label of the right group at every dark point, which is all outline tracing needs.
bool labelRuns(const uint8_t* dark, Label* here, int w, int y, int& k) {
    int* t = table.data();
    runsHere.clear();
    size_t a = 0;
    for (int x = 1; x < w - 1;) {
        const int skip = firstDarkOfEight(dark + x);
        x += skip;
        if (skip == 8 || x >= w - 1) continue;
        const int start = x;
        for (int more = 8; more == 8; x += more) more = firstClearOfEight(dark + x);  // a clear flag ends every row
        const int end = x - 1;
        while (a < runsAbove.size() && runsAbove[a].end < start - 1) a++;
        int label = 0;
        for (size_t b = a; b < runsAbove.size() && runsAbove[b].start <= end + 1; b++)
            label = label == 0 ? findGroup(t, runsAbove[b].label) : mergeLabels(t, label, runsAbove[b].label);
        if (label == 0) {
            if ((label = openLabel(k, start, y)) < 0) return false;
            t = table.data();
        }
        fillLabel(here + start, end - start + 1, label);
        addRun(stats[label - 1], start, end, y);
        runsHere.push_back(Run{start, end, label});
    }
    std::swap(runsAbove, runsHere);
    return true;
}

// Scans rows 1 .. h-2 of a w x h image; markRow(y, flags) fills the dark flags of points 1 .. w-2
// of row y into flags[0 .. w-3]. byRuns labels a stretch of dark points at a time.
template <typename MarkRow>
bool scanRows(int w, int h, bool byRuns, MarkRow markRow, int& k) {
    std::memset(labels.data(), 0, sizeof(Label) * w);
    std::memset(labels.data() + static_cast<size_t>(h - 1) * w, 0, sizeof(Label) * w);
    uint8_t* dark = darkRow.data();
    runsAbove.clear();
    for (int y = 1; y < h - 1; y++) {
        Label* here = labels.data() + static_cast<size_t>(y) * w;
        std::memset(here, 0, sizeof(Label) * w);
        markRow(y, dark + 1);
        dark[w - 1] = 0;  // the last column is never labelled; it also ends the row's scan
        if (!(byRuns ? labelRuns(dark, here, w, y, k) : labelRow(dark, here - w, here, w, y, k))) return false;
    }
    return true;
}

// Every entry's parent is a smaller label, so one ascending pass flattens the forest into
// group minima and then numbers the groups in the order of their smallest labels.
int renumber(int k) {
    int* t = table.data();
    for (int i = 1; i <= k; i++)
        if (t[i - 1] != i) t[i - 1] = t[t[i - 1] - 1];
    int counter = 1;
    for (int i = 1; i <= k; i++) {
        if (t[i - 1] == i)
            t[i - 1] = counter++;
        else
            t[i - 1] = t[t[i - 1] - 1];
    }
    return counter - 1;
}

bool gatherRegions(int k, int w, int h) {
    try {
        if (areas.size() < static_cast<size_t>(regions)) {
            areas.resize(regions);
            centroids.resize(2 * static_cast<size_t>(regions));
            boxes.resize(4 * static_cast<size_t>(regions));
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    double* sums = centroids.data();  // accumulated in place, divided at the end
    for (int r = 0; r < regions; r++) {
        areas[r] = 0;
        sums[2 * r] = sums[2 * r + 1] = 0.0;
        int* box = boxes.data() + 4 * r;
        box[0] = w, box[1] = 0, box[2] = h, box[3] = 0;
    }
    for (int i = 0; i < k; i++) {
        int r = table[i] - 1;
        const LabelStats& s = stats[i];
        areas[r] += s.count;
        sums[2 * r] += static_cast<double>(s.sumX);
        sums[2 * r + 1] += static_cast<double>(s.sumY);
        int* box = boxes.data() + 4 * r;
        if (s.minX < box[0]) box[0] = s.minX;
        if (s.maxX > box[1]) box[1] = s.maxX;
        if (s.minY < box[2]) box[2] = s.minY;
        if (s.maxY > box[3]) box[3] = s.maxY;
    }
    for (int r = 0; r < regions; r++) {
        sums[2 * r] /= areas[r];
        sums[2 * r + 1] /= areas[r];
    }
    return true;
}

template <typename MarkRow>
Label* runLabeling(int w, int h, int budget, bool byRuns, MarkRow markRow, int* regionCount, int** areasOut,
                   double** centroidsOut, int** boundingBoxes, int** labelTable) {
    *regionCount = 0;
    labelBudget = budget;
    regions = 0;
    bool ok = w > 0 && h > 0 && reserveFrame(w, h);
    int k = 0;
    if (ok) ok = scanRows(w, h, byRuns, markRow, k);
    if (ok) regions = renumber(k);
    if (ok && regions > 0) ok = gatherRegions(k, w, h);
    if (!ok) regions = 0;
    *regionCount = regions;
    *areasOut = areas.data();
    *centroidsOut = centroids.data();
    *boundingBoxes = boxes.data();
    *labelTable = table.data();
    return ok ? labels.data() : nullptr;
}

// Limits beyond the range of channel sums behave alike; clamping keeps 3 * threshold from overflowing.
int sumLimit(int threshold) {
    if (threshold < 0) return -1;
    if (threshold > 255) return 765;
    return 3 * threshold;
}

}  // namespace

Label* labelImage(const uint8_t* frame, int threshold, int* regionCount, int** areasOut, double** centroidsOut,
                  int** boundingBoxes, int** labelTable) {
    int w, h;
    trackerImageSize(&w, &h);
    const int limit = sumLimit(threshold);
    auto markRow = [frame, w, limit](int y, uint8_t* dark) {
        markDarkPixels(frame + (static_cast<size_t>(y) * w + 1) * 4, w - 2, limit, dark);
    };
    return runLabeling(w, h, kNoBudget, false, markRow, regionCount, areasOut, centroidsOut, boundingBoxes, labelTable);
}

Label* labelSums(const uint16_t* sums, int w, int h, int limit, int budget, LabelResult* out) {
    auto markRow = [sums, w, limit](int y, uint8_t* dark) {
        markDarkSums(sums + static_cast<size_t>(y) * w + 1, w - 2, limit, dark);
    };
    out->labelImage = runLabeling(w, h, budget, true, markRow, &out->regionCount, &out->areas, &out->centroids,
                                  &out->boundingBoxes, &out->labelTable);
    return out->labelImage;
}

Label* labelSumsLocal(const uint16_t* sums, int w, int h, const ThresholdMap& map, int budget, LabelResult* out) {
    auto markRow = [sums, w, &map](int y, uint8_t* dark) { map.markDarkRow(y, sums + static_cast<size_t>(y) * w, dark - 1); };
    out->labelImage = runLabeling(w, h, budget, true, markRow, &out->regionCount, &out->areas, &out->centroids,
                                  &out->boundingBoxes, &out->labelTable);
    return out->labelImage;
}
