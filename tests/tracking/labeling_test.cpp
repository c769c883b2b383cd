#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "frame_fixture.h"
#include "synthcam.h"
#include "tracking/labeling.h"

namespace {

struct Labels {
    Label* image = nullptr;
    int count = 0;
    int* areas = nullptr;
    double* centroids = nullptr;
    int* boxes = nullptr;
    int* table = nullptr;
};

Labels label(const TestFrame& frame, int threshold = 100) {
    installPlainCamera(frame.width, frame.height);
    Labels l;
    l.image = labelImage(frame.data(), threshold, &l.count, &l.areas, &l.centroids, &l.boxes, &l.table);
    return l;
}

int regionAt(const Labels& l, const TestFrame& f, int x, int y) {
    int p = l.image[y * f.width + x];
    return p > 0 ? l.table[p - 1] : 0;
}

TEST(Labeling, BrightFrameHasNoRegionsAndDarkFrameOneInsideTheBorder) {
    TestFrame bright(20, 10);
    Labels b = label(bright);
    ASSERT_NE(b.image, nullptr);
    EXPECT_EQ(b.count, 0);

    TestFrame dark(20, 10, 0);
    Labels d = label(dark);
    ASSERT_NE(d.image, nullptr);
    ASSERT_EQ(d.count, 1);
    EXPECT_EQ(d.areas[0], 18 * 8);
    EXPECT_EQ(d.boxes[0], 1);
    EXPECT_EQ(d.boxes[1], 18);
    EXPECT_EQ(d.boxes[2], 1);
    EXPECT_EQ(d.boxes[3], 8);
    EXPECT_DOUBLE_EQ(d.centroids[0], 9.5);
    EXPECT_DOUBLE_EQ(d.centroids[1], 4.5);
    for (int x = 0; x < 20; x++) {
        EXPECT_EQ(d.image[x], 0);
        EXPECT_EQ(d.image[9 * 20 + x], 0);
    }
    for (int y = 0; y < 10; y++) {
        EXPECT_EQ(d.image[y * 20], 0);
        EXPECT_EQ(d.image[y * 20 + 19], 0);
    }
}

TEST(Labeling, ThresholdIsInclusiveOnTheChannelSum) {
    TestFrame f(8, 5);
    f.set(2, 2, 100, 100, 100);  // sum 300 = 3 * 100: dark
    f.set(5, 2, 101, 100, 100);  // sum 301: background
    f.set(3, 3, 0, 45, 255);     // sum 300 in unequal channels: dark
    Labels l = label(f, 100);
    ASSERT_EQ(l.count, 1);  // (2,2) and (3,3) touch diagonally
    EXPECT_EQ(l.areas[0], 2);
    EXPECT_EQ(regionAt(l, f, 5, 2), 0);
}

TEST(Labeling, UShapeArmsMergeIntoOneRegion) {
    TestFrame f(12, 10);
    f.fill(2, 2, 3, 7);  // left arm
    f.fill(8, 2, 9, 7);  // right arm, a different provisional label until the bottom
    f.fill(2, 7, 9, 7);  // bottom joins them
    Labels l = label(f);
    ASSERT_EQ(l.count, 1);
    EXPECT_EQ(l.areas[0], 12 + 12 + 4);
    EXPECT_NE(l.image[2 * 12 + 2], l.image[2 * 12 + 8]);  // provisional labels differ
    EXPECT_EQ(regionAt(l, f, 2, 2), 1);
    EXPECT_EQ(regionAt(l, f, 8, 2), 1);
    EXPECT_EQ(l.boxes[0], 2);
    EXPECT_EQ(l.boxes[1], 9);
}

TEST(Labeling, DiagonalNeighboursConnectInBothDirections) {
    TestFrame f(10, 8);
    f.dark(2, 2), f.dark(3, 3), f.dark(4, 4);  // down-right staircase
    f.dark(7, 2), f.dark(6, 3), f.dark(5, 4);  // down-left staircase meeting the first
    Labels l = label(f);
    ASSERT_EQ(l.count, 1);
    EXPECT_EQ(l.areas[0], 6);
}

TEST(Labeling, OutermostRowsAndColumnsAreNeverLabelled) {
    TestFrame f(10, 8);
    f.fill(0, 0, 9, 0);
    f.fill(0, 7, 9, 7);
    f.fill(0, 0, 0, 7);
    f.fill(9, 0, 9, 7);
    Labels l = label(f);
    EXPECT_EQ(l.count, 0);
}

TEST(Labeling, AboveRightMergesWithAboveLeftAndLeft) {
    TestFrame f(12, 6);
    // Row 2: two separate dark pixels; row 3 pixel between them sees both above-left and above-right.
    f.dark(3, 2), f.dark(5, 2), f.dark(4, 3);
    // A pixel whose left neighbour and above-right neighbour belong to different labels.
    f.dark(8, 2), f.dark(7, 3), f.dark(6, 3);
    Labels l = label(f);
    ASSERT_EQ(l.count, 1);  // everything chains through (5,2)-(6,3)
    EXPECT_EQ(l.areas[0], 6);
}

// Reference: 8-connected components by flood fill, numbered by first pixel in raster order.
struct Component {
    int area = 0;
    long sumX = 0, sumY = 0;
    int minX = 1 << 30, maxX = -1, minY = 1 << 30, maxY = -1;
};

std::vector<Component> floodFill(const TestFrame& f, int threshold) {
    int w = f.width, h = f.height;
    std::vector<int> seen(w * h, 0);
    std::vector<Component> out;
    auto dark = [&](int x, int y) {
        if (x < 1 || y < 1 || x > w - 2 || y > h - 2) return false;
        const uint8_t* p = &f.pixels[(y * w + x) * 4];
        return p[0] + p[1] + p[2] <= 3 * threshold;
    };
    for (int y = 1; y < h - 1; y++)
        for (int x = 1; x < w - 1; x++) {
            if (!dark(x, y) || seen[y * w + x]) continue;
            Component c;
            std::vector<int> stack{y * w + x};
            seen[y * w + x] = 1;
            while (!stack.empty()) {
                int p = stack.back();
                stack.pop_back();
                int px = p % w, py = p / w;
                c.area++, c.sumX += px, c.sumY += py;
                c.minX = std::min(c.minX, px), c.maxX = std::max(c.maxX, px);
                c.minY = std::min(c.minY, py), c.maxY = std::max(c.maxY, py);
                for (int dy = -1; dy <= 1; dy++)
                    for (int dx = -1; dx <= 1; dx++)
                        if (dark(px + dx, py + dy) && !seen[(py + dy) * w + px + dx]) {
                            seen[(py + dy) * w + px + dx] = 1;
                            stack.push_back((py + dy) * w + px + dx);
                        }
            }
            out.push_back(c);
        }
    return out;
}

TEST(Labeling, RandomFramesMatchAFloodFillRegionForRegion) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 5; trial++) {
        TestFrame f(97, 61);
        std::bernoulli_distribution isDark(0.3 + 0.1 * trial);
        for (int y = 0; y < f.height; y++)
            for (int x = 0; x < f.width; x++)
                if (isDark(random)) f.dark(x, y);
        Labels l = label(f);
        std::vector<Component> ref = floodFill(f, 100);
        ASSERT_EQ(l.count, static_cast<int>(ref.size()));
        for (int r = 0; r < l.count; r++) {
            EXPECT_EQ(l.areas[r], ref[r].area) << "region " << r + 1;
            EXPECT_EQ(l.boxes[4 * r], ref[r].minX);
            EXPECT_EQ(l.boxes[4 * r + 1], ref[r].maxX);
            EXPECT_EQ(l.boxes[4 * r + 2], ref[r].minY);
            EXPECT_EQ(l.boxes[4 * r + 3], ref[r].maxY);
            EXPECT_DOUBLE_EQ(l.centroids[2 * r], static_cast<double>(ref[r].sumX) / ref[r].area);
            EXPECT_DOUBLE_EQ(l.centroids[2 * r + 1], static_cast<double>(ref[r].sumY) / ref[r].area);
        }
    }
}

// Reference: the raster scan with the equivalence table rewritten across all labels at every
// merge, then renumbered. Returns the number of provisional labels.
int referenceScan(const TestFrame& f, int threshold, std::vector<int16_t>& image, std::vector<int>& table) {
    int w = f.width, h = f.height, k = 0;
    image.assign(w * h, 0);
    table.clear();
    auto merge = [&](int p, int q) {
        int m1 = table[p - 1], m2 = table[q - 1];
        int keep = m2 < m1 ? m2 : m1, drop = m2 < m1 ? m1 : m2;
        for (int i = 0; i < k; i++)
            if (table[i] == drop) table[i] = keep;
        return keep;
    };
    for (int y = 1; y < h - 1; y++)
        for (int x = 1; x < w - 1; x++) {
            const uint8_t* p = &f.pixels[(y * w + x) * 4];
            if (p[0] + p[1] + p[2] > 3 * threshold) continue;
            int a = image[(y - 1) * w + x], ar = image[(y - 1) * w + x + 1], al = image[(y - 1) * w + x - 1],
                l = image[y * w + x - 1], label;
            if (a > 0) label = a;
            else if (ar > 0) label = al > 0 ? merge(ar, al) : l > 0 ? merge(ar, l) : ar;
            else if (al > 0) label = al;
            else if (l > 0) label = l;
            else {
                table.push_back(++k);
                label = k;
            }
            image[y * w + x] = static_cast<int16_t>(label);
        }
    int counter = 1;
    for (int i = 1; i <= k; i++) table[i - 1] = table[i - 1] == i ? counter++ : table[table[i - 1] - 1];
    return k;
}

TestFrame noisyFrame(int width, int height, double density, unsigned seed) {
    std::mt19937 random(seed);
    TestFrame f(width, height);
    std::bernoulli_distribution isDark(density);
    for (int y = 0; y < f.height; y++)
        for (int x = 0; x < f.width; x++)
            if (isDark(random)) f.dark(x, y);
    return f;
}

TestFrame renderedFrame(int width, int height, double distance, SynthOptions options = {}) {
    static const SynthPicture picture = defaultMarkerPicture();
    SynthMarker marker;
    marker.picture = &picture;
    makeMarkerPose(distance, 35, 10, 25, 15, -10, marker.pose);
    SynthFrame frame;
    options.supersample = 1;
    options.noiseSigma = 6.0;
    renderSynthFrame(makeWebcamIntrinsics(width, height), &marker, 1, options, &frame);
    TestFrame f(width, height);
    f.pixels = frame.bgrx;
    return f;
}

// The 16-bit labels and fixed work areas of the past gave exactly the reference's labels for
// every frame they could take (up to 1024 x 1024 pixels, fewer than 32768 labels); the widened
// labels and growing work areas must give the same, at any threshold.
TEST(Labeling, FramesWithinTheOldLimitsGiveExactlyTheRewrittenTableResult) {
    SynthOptions dim;
    dim.lighting.exposure = 0.3;
    struct Case {
        const char* name;
        TestFrame frame;
        int threshold;
    } cases[] = {
        {"sparse specks", noisyFrame(160, 120, 0.2, 11), 100},
        {"dense specks", noisyFrame(160, 120, 0.5, 12), 100},
        {"mostly dark", noisyFrame(160, 120, 0.65, 13), 100},
        {"marker", renderedFrame(640, 480, 450), 100},
        {"marker, low level", renderedFrame(640, 480, 450), 40},
        {"marker, high level", renderedFrame(640, 480, 300), 180},
        {"dim marker", renderedFrame(640, 480, 450, dim), 30},
        {"level below 0", renderedFrame(320, 240, 300), -5},
        {"level above 255", renderedFrame(320, 240, 300), 300},
        {"largest old frame", renderedFrame(1024, 1024, 500), 100},
    };
    for (const Case& c : cases) {
        std::vector<int16_t> image;
        std::vector<int> table;
        int k = referenceScan(c.frame, c.threshold, image, table);
        Labels l = label(c.frame, c.threshold);
        ASSERT_NE(l.image, nullptr) << c.name;
        for (size_t i = 0; i < image.size(); i++) ASSERT_EQ(l.image[i], image[i]) << c.name << ", pixel " << i;
        for (int i = 0; i < k; i++) ASSERT_EQ(l.table[i], table[i]) << c.name << ", label " << i + 1;
    }
}

// Isolated dark pixels on every other row and column, each needing its own provisional label.
TestFrame isolatedPixels(int count) {
    TestFrame f(2 * 256 + 1, 2 * 130 + 1);
    for (int i = 0; i < count; i++) f.dark(1 + 2 * (i % 256), 1 + 2 * (i / 256));
    return f;
}

TEST(Labeling, LabelsBeyondWhatSixteenBitsHoldStayDistinct) {
    for (int count : {32767, 32768, 256 * 130}) {
        TestFrame f = isolatedPixels(count);
        Labels l = label(f);
        ASSERT_NE(l.image, nullptr) << count;
        EXPECT_EQ(l.count, count);
        int last = count - 1;
        EXPECT_EQ(regionAt(l, f, 1 + 2 * (last % 256), 1 + 2 * (last / 256)), count);
    }
}

TEST(Labeling, OversizedCameraLeavesThePreviousSizeInstalled) {
    CameraIntrinsics tooBig = plainCamera(8192, 8192);
    TestFrame f(4, 4);
    installPlainCamera(4, 4);
    EXPECT_EQ(setTrackerCameraParams(&tooBig), -1);
    int count, *areas, *boxes, *table;
    double* centroids;
    EXPECT_NE(labelImage(f.data(), 100, &count, &areas, &centroids, &boxes, &table), nullptr);
}

}  // namespace
