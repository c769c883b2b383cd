#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "frame_fixture.h"
#include "tracking/labeling.h"
#include "tracking/marker.h"

namespace {

struct Extraction {
    MarkerCandidate* list = nullptr;
    int count = 0;
};

Extraction extract(const TestFrame& f) {
    installPlainCamera(f.width, f.height);
    int regions, *areas, *boxes, *table;
    double* centroids;
    Label* labels = labelImage(f.data(), 100, &regions, &areas, &centroids, &boxes, &table);
    Extraction e;
    EXPECT_NE(labels, nullptr);
    extractCandidates(labels, regions, table, areas, centroids, boxes, kMaxAreaDefault, kMinAreaDefault, 1.0, &e.list,
                      &e.count);
    return e;
}

void fillPolygon(TestFrame& f, const double (*pts)[2], int n) {
    for (int y = 0; y < f.height; y++)
        for (int x = 0; x < f.width; x++) {
            bool inside = false;
            for (int i = 0, j = n - 1; i < n; j = i++) {
                if ((pts[i][1] > y) != (pts[j][1] > y) &&
                    x < (pts[j][0] - pts[i][0]) * (y - pts[i][1]) / (pts[j][1] - pts[i][1]) + pts[i][0])
                    inside = !inside;
            }
            if (inside) f.dark(x, y);
        }
}

TEST(Candidates, SquareStartsAtTheFarthestPointAndRunsClockwise) {
    TestFrame f(60, 60);
    f.fill(20, 20, 39, 39);
    Extraction e = extract(f);
    ASSERT_EQ(e.count, 1);
    const MarkerCandidate& c = e.list[0];
    EXPECT_EQ(c.area, 400);
    EXPECT_DOUBLE_EQ(c.center[0], 29.5);
    // The first traced pixel is (20, 20); the farthest outline point is (39, 39).
    const int expected[4][2] = {{39, 39}, {20, 39}, {20, 20}, {39, 20}};
    for (int k = 0; k < 4; k++) {
        EXPECT_EQ(c.contourX[c.cornerIndex[k]], expected[k][0]) << k;
        EXPECT_EQ(c.contourY[c.cornerIndex[k]], expected[k][1]) << k;
    }
    EXPECT_EQ(c.cornerIndex[4], c.pointCount - 1);
    EXPECT_EQ(c.contourX[c.pointCount - 1], c.contourX[0]);
    EXPECT_EQ(c.pointCount, 4 * 19 + 1);
}

// A marker seen almost edge-on: the outline point farthest from the first
// corner is a neighbouring corner, so both other corners lie on one side of
// it; the halves of that side must give one each. Wide side at the bottom,
// then at the top, for the two sides.
TEST(Candidates, FlatQuadrilateralsFindTheirCornersOnOneSide) {
    const double shapes[2][4][2] = {{{40, 10}, {100, 10}, {130, 40}, {10, 40}},
                                    {{10, 10}, {130, 10}, {100, 40}, {40, 40}}};
    // Corners in outline order, from the one farthest from the first traced pixel.
    const int expected[2][4][2] = {{{129, 39}, {10, 39}, {40, 10}, {99, 10}},
                                   {{129, 10}, {100, 39}, {39, 39}, {10, 10}}};
    for (int s = 0; s < 2; s++) {
        TestFrame f(140, 50);
        fillPolygon(f, shapes[s], 4);
        Extraction e = extract(f);
        ASSERT_EQ(e.count, 1) << s;
        const MarkerCandidate& c = e.list[0];
        for (int k = 0; k < 4; k++) {
            EXPECT_NEAR(c.contourX[c.cornerIndex[k]], expected[s][k][0], 1) << s << " corner " << k;
            EXPECT_NEAR(c.contourY[c.cornerIndex[k]], expected[s][k][1], 1) << s << " corner " << k;
        }
    }
}

TEST(Candidates, AreaLimitsAndBorderContact) {
    TestFrame f(80, 60);
    f.fill(10, 10, 19, 16);  // 10 x 7 = 70 pixels: kept
    f.fill(40, 10, 62, 12);  // 23 x 3 = 69 pixels: too small
    f.fill(1, 30, 20, 50);   // touches the left border column
    f.fill(40, 30, 78, 50);  // touches the right border column (x = W - 2)
    Extraction e = extract(f);
    ASSERT_EQ(e.count, 1);
    EXPECT_EQ(e.list[0].area, 70);
}

TEST(Candidates, TrianglesAndPentagonsAreRejected) {
    TestFrame f(120, 60);
    const double triangle[3][2] = {{10, 50}, {30, 10}, {50, 50}};
    const double pentagon[5][2] = {{85, 8}, {106, 23}, {98, 50}, {72, 50}, {64, 23}};
    fillPolygon(f, triangle, 3);
    fillPolygon(f, pentagon, 5);
    EXPECT_EQ(extract(f).count, 0);
    TestFrame g(120, 60);
    const double diamond[4][2] = {{60, 5}, {85, 30}, {60, 55}, {35, 30}};
    fillPolygon(g, diamond, 4);
    EXPECT_EQ(extract(g).count, 1);
}

TEST(Candidates, InnerSquareOfAMarkerIsRemovedAsANestedDuplicate) {
    TestFrame f(80, 80);
    f.fill(20, 20, 59, 59);
    f.fill(28, 28, 51, 51, 255);  // white interior
    f.fill(35, 35, 44, 44);       // its own dark square, same centroid
    Extraction e = extract(f);
    ASSERT_EQ(e.count, 1);
    EXPECT_EQ(e.list[0].area, 40 * 40 - 24 * 24);
}

TEST(Candidates, ConsecutiveNestedCandidatesAreAllRemoved) {
    TestFrame f(100, 100);
    f.fill(10, 10, 89, 89);
    f.fill(16, 16, 83, 83, 255);
    f.fill(24, 24, 75, 75);
    f.fill(30, 30, 69, 69, 255);
    f.fill(38, 38, 61, 61);
    f.fill(44, 44, 55, 55, 255);
    f.fill(48, 48, 51, 51);  // 16 pixels: below the area limit anyway
    Extraction e = extract(f);
    ASSERT_EQ(e.count, 1);
    EXPECT_EQ(e.list[0].area, 80 * 80 - 68 * 68);
}

TEST(Candidates, DistantSquaresAreAllKeptInOrder) {
    TestFrame f(120, 60);
    f.fill(10, 10, 29, 29);
    f.fill(50, 10, 79, 39);
    f.fill(90, 20, 109, 49);
    Extraction e = extract(f);
    ASSERT_EQ(e.count, 3);
    EXPECT_EQ(e.list[0].area, 400);
    EXPECT_EQ(e.list[1].area, 900);
    EXPECT_EQ(e.list[2].area, 600);
}

TEST(ContourTracing, RegionNotOnItsTopRowReportsAndFails) {
    TestFrame f(40, 40);
    f.fill(10, 10, 29, 29);
    installPlainCamera(40, 40);
    int regions, *areas, *boxes, *table;
    double* centroids;
    Label* labels = labelImage(f.data(), 100, &regions, &areas, &centroids, &boxes, &table);
    ASSERT_EQ(regions, 1);
    static MarkerCandidate c;
    testing::internal::CaptureStdout();
    EXPECT_EQ(traceContour(labels, table, 2, boxes, &c), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "??? 1\n");
    EXPECT_EQ(traceContour(labels, table, 1, boxes, &c), 0);
}

TEST(CornerFinding, StopsAfterSixCorners) {
    // A zigzag outline with many sharp turns between its ends.
    int x[20], y[20];
    for (int i = 0; i < 20; i++) x[i] = i * 10, y[i] = (i % 2) * 40;
    x[19] = 190, y[19] = 0;
    int corners[6], count = 0;
    EXPECT_EQ(findCorners(x, y, 0, 19, 1.0, corners, &count), -1);
    int line[5] = {0, 1, 2, 3, 4}, flat[5] = {0, 0, 0, 0, 0};
    count = 0;
    EXPECT_EQ(findCorners(line, flat, 0, 4, 1.0, corners, &count), 0);
    EXPECT_EQ(count, 0);
}

TEST(EdgeLines, AxisAlignedSquareGivesExactLinesAndCorners) {
    TestFrame f(60, 60);
    f.fill(20, 20, 39, 39);
    Extraction e = extract(f);
    ASSERT_EQ(e.count, 1);
    double lines[4][3], corners[4][2];
    ASSERT_EQ(fitEdgeLines(&e.list[0], trackerCameraParams()->distortion, lines, corners), 0);
    const double expected[4][2] = {{39, 39}, {20, 39}, {20, 20}, {39, 20}};
    for (int k = 0; k < 4; k++) {
        EXPECT_NEAR(corners[k][0], expected[k][0], 1e-9) << k;
        EXPECT_NEAR(corners[k][1], expected[k][1], 1e-9) << k;
        double a = lines[k][0], b = lines[k][1];
        EXPECT_NEAR(a * a + b * b, 1.0, 1e-12);
    }
}

TEST(EdgeLines, TiltedSquareCornersLieNearTheDrawnOnes) {
    TestFrame f(100, 100);
    const double quad[4][2] = {{50, 12}, {86, 40}, {58, 78}, {22, 50}};
    fillPolygon(f, quad, 4);
    Extraction e = extract(f);
    ASSERT_EQ(e.count, 1);
    double lines[4][3], corners[4][2];
    ASSERT_EQ(fitEdgeLines(&e.list[0], trackerCameraParams()->distortion, lines, corners), 0);
    for (int k = 0; k < 4; k++) {
        double best = 1e9;
        for (const auto& q : quad) best = std::fmin(best, std::hypot(corners[k][0] - q[0], corners[k][1] - q[1]));
        EXPECT_LT(best, 1.5) << k;
    }
}

TEST(Detection, FrameOfMoreSpecksThanSixteenBitLabelsIsAnalysed) {
    TestFrame f(2 * 256 + 1, 2 * 130 + 1);
    for (int i = 0; i < 32768; i++) f.dark(1 + 2 * (i % 256), 1 + 2 * (i / 256));
    f.fill(96, 146, 143, 193, 255);
    f.fill(100, 150, 139, 189);  // a dark square among the specks
    installPlainCamera(f.width, f.height);
    DetectedMarker* list;
    int count = 7;
    EXPECT_EQ(detectMarkers(f.data(), 100, &list, &count), 0);
    EXPECT_EQ(count, 1);
}

}  // namespace
