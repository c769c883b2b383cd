#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/scratch_dir.h"
#include "frame_fixture.h"
#include "synthcam.h"
#include "tracking/pattern.h"

namespace {

std::string tempFile(const std::string& name) { return scratchPath(name); }

std::string writePattern(const std::string& name, const std::vector<uint8_t>& values) {
    std::string path = tempFile(name);
    EXPECT_EQ(savePatternFile(path.c_str(), values.data()), 0);
    return path;
}

std::vector<uint8_t> patternOf(const SynthPicture& picture) {
    std::vector<uint8_t> values(kPatternFileValues);
    makePatternValues(picture, values.data());
    return values;
}

// The 768 sample bytes (row, column, channel) that orientation d of a file's values describes.
std::vector<uint8_t> sampleOf(const std::vector<uint8_t>& file, int d) {
    std::vector<uint8_t> sample(kPatternCells);
    for (int c = 0; c < 3; c++)
        for (int r = 0; r < 16; r++)
            for (int k = 0; k < 16; k++) sample[(r * 16 + k) * 3 + c] = file[((d * 3 + c) * 16 + r) * 16 + k];
    return sample;
}

class PatternStore : public ::testing::Test {
  protected:
    void SetUp() override { clearPatterns(); }
};

TEST_F(PatternStore, MatchesTheStoredOrientationOfItsOwnSamples) {
    std::vector<uint8_t> values = patternOf(defaultMarkerPicture());
    std::string path = writePattern("own.patt", values);
    ASSERT_EQ(loadPattern(path.c_str()), 0);
    for (int d = 0; d < 4; d++) {
        int id, orientation;
        double confidence;
        matchPattern(sampleOf(values, d).data(), &id, &orientation, &confidence);
        EXPECT_EQ(id, 0);
        EXPECT_EQ(orientation, d);
        EXPECT_NEAR(confidence, 1.0, 1e-3);
    }
    std::remove(path.c_str());
}

TEST_F(PatternStore, BestOfSeveralPatternsWins) {
    std::string a = writePattern("a.patt", patternOf(defaultMarkerPicture()));
    std::vector<uint8_t> second = patternOf(secondMarkerPicture());
    std::string b = writePattern("b.patt", second);
    ASSERT_EQ(loadPattern(a.c_str()), 0);
    ASSERT_EQ(loadPattern(b.c_str()), 1);
    EXPECT_EQ(loadedPatternCount(), 2);
    int id, orientation;
    double confidence;
    matchPattern(sampleOf(second, 3).data(), &id, &orientation, &confidence);
    EXPECT_EQ(id, 1);
    EXPECT_EQ(orientation, 3);
    std::remove(a.c_str());
    std::remove(b.c_str());
}

TEST_F(PatternStore, UniformFileLoadsButNeverMatchesPositively) {
    std::string path = writePattern("flat.patt", std::vector<uint8_t>(kPatternFileValues, 128));
    ASSERT_EQ(loadPattern(path.c_str()), 0);
    int id, orientation;
    double confidence;
    matchPattern(sampleOf(patternOf(defaultMarkerPicture()), 0).data(), &id, &orientation, &confidence);
    EXPECT_EQ(id, -1);
    EXPECT_EQ(orientation, -1);
    EXPECT_EQ(confidence, 0.0);
    std::remove(path.c_str());
}

TEST_F(PatternStore, UniformSampleHasConfidenceMinusOne) {
    std::string path = writePattern("own.patt", patternOf(defaultMarkerPicture()));
    ASSERT_EQ(loadPattern(path.c_str()), 0);
    std::vector<uint8_t> flat(kPatternCells, 90);
    int id, orientation;
    double confidence;
    matchPattern(flat.data(), &id, &orientation, &confidence);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(orientation, 0);
    EXPECT_EQ(confidence, -1.0);
    std::remove(path.c_str());
}

TEST_F(PatternStore, MissingAndShortFilesReportAndLeaveTheSlotFree) {
    std::string missing = tempFile("missing.patt");
    testing::internal::CaptureStdout();
    EXPECT_EQ(loadPattern(missing.c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\"" + missing + "\" not found!!\n");

    std::string shortPath = tempFile("short.patt");
    FILE* f = std::fopen(shortPath.c_str(), "w");
    for (int i = 0; i < kPatternFileValues - 1; i++) std::fprintf(f, "%d ", i % 256);
    std::fprintf(f, "x");
    std::fclose(f);
    testing::internal::CaptureStdout();
    EXPECT_EQ(loadPattern(shortPath.c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Pattern Data read error!!\n");

    // Values outside the intensity range would overflow the template sums: malformed too.
    std::string outOfRange = tempFile("range.patt");
    f = std::fopen(outOfRange.c_str(), "w");
    std::fprintf(f, "%d ", 256);
    for (int i = 1; i < kPatternFileValues; i++) std::fprintf(f, "%d ", i % 256);
    std::fclose(f);
    testing::internal::CaptureStdout();
    EXPECT_EQ(loadPattern(outOfRange.c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Pattern Data read error!!\n");
    std::remove(outOfRange.c_str());

    std::string good = writePattern("good.patt", patternOf(defaultMarkerPicture()));
    EXPECT_EQ(loadPattern(good.c_str()), 0);
    std::remove(shortPath.c_str());
    std::remove(good.c_str());
}

TEST_F(PatternStore, FiftyFirstLoadFailsSilently) {
    std::string path = writePattern("many.patt", patternOf(defaultMarkerPicture()));
    for (int i = 0; i < kMaxPatterns; i++) ASSERT_EQ(loadPattern(path.c_str()), i);
    testing::internal::CaptureStdout();
    EXPECT_EQ(loadPattern(path.c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    std::remove(path.c_str());
}

// The start-up loader also refuses what can never match, and every refusal
// names the file (and the line of a bad value); the store limit is checked
// end to end by the tracking tool's test.
TEST_F(PatternStore, CheckedLoadNamesTheFileAndTheCause) {
    ScratchDir dir;
    auto text = [](const std::vector<uint8_t>& values) {
        std::string t;
        for (size_t i = 0; i < values.size(); i++) t += std::to_string(values[i]) + (i % 16 == 15 ? "\n" : " ");
        return t;
    };
    std::vector<uint8_t> good = patternOf(defaultMarkerPicture()), oneFlat = good;
    std::fill(oneFlat.begin() + 2 * kPatternCells, oneFlat.begin() + 3 * kPatternCells, 77);
    std::string bad = text(good);
    bad.replace(bad.find('\n', bad.find('\n') + 1) + 1, 1, "x");
    const struct {
        std::string name, content, reason;
        bool plainLoads;
    } cases[] = {
        {"bom.patt", "\xEF\xBB\xBF" + text(good), "", true},
        {"flat.patt", text(std::vector<uint8_t>(kPatternFileValues, 128)),
         ": orientation 0 has no contrast (all its values are equal), so it could never be recognised", true},
        {"oneflat.patt", text(oneFlat),
         ": orientation 2 has no contrast (all its values are equal), so it could never be recognised", true},
        {"bad.patt", bad, ":3: expected a whole number from 0 to 255 (number 33 of 3072)", false},
        {"short.patt", "1 2 3\n", ":2: expected a whole number from 0 to 255 at end of file (number 4 of 3072)", false},
    };
    for (const auto& c : cases) {
        const std::string path = dir.write(c.name, c.content);
        clearPatterns();
        std::string why = "left over";
        EXPECT_EQ(loadPatternChecked(path.c_str(), &why) >= 0, c.reason.empty()) << c.name;
        EXPECT_EQ(why, c.reason.empty() ? "" : path + c.reason);
        clearPatterns();
        EXPECT_EQ(loadPattern(path.c_str()) >= 0, c.plainLoads) << c.name;
    }
}

TEST(PatternFile, ValuesAfterTheLastAreIgnoredAndTheWriterRoundTrips) {
    clearPatterns();
    std::vector<uint8_t> values = patternOf(secondMarkerPicture());
    std::string path = writePattern("trailing.patt", values);
    FILE* f = std::fopen(path.c_str(), "a");
    std::fprintf(f, "garbage 1 2 3\n");
    std::fclose(f);
    ASSERT_EQ(loadPattern(path.c_str()), 0);
    int id, orientation;
    double confidence;
    matchPattern(sampleOf(values, 2).data(), &id, &orientation, &confidence);
    EXPECT_EQ(orientation, 2);
    EXPECT_NEAR(confidence, 1.0, 1e-3);
    std::remove(path.c_str());
}

TEST(PatternSampling, GridGrowsWithTheSideLength) {
    EXPECT_EQ(patternGridSize(29 * 29), 16);  // a 30 x 30 square
    EXPECT_EQ(patternGridSize(39 * 39), 32);  // 40 x 40
    EXPECT_EQ(patternGridSize(99 * 99), 64);  // 100 x 100
    EXPECT_EQ(patternGridSize(4 * 256 + 3), 16);
    EXPECT_EQ(patternGridSize(4 * 257), 32);
    EXPECT_EQ(patternGridSize(4 * 1025), 64);
    EXPECT_EQ(patternGridSize(1 << 28), 64);
}

// A 40-pixel marker drawn axis-aligned, its picture turned `turns` quarter turns anticlockwise.
TestFrame headOnMarker(const SynthPicture& p, int turns, int x0, int y0) {
    TestFrame f(120, 100);
    for (int y = 0; y < p.size; y++)
        for (int x = 0; x < p.size; x++) {
            int u = x, v = y;
            for (int k = 0; k < turns; k++) {
                int t = u;
                u = p.size - 1 - v;
                v = t;
            }
            const uint8_t* px = &p.rgb[(v * p.size + u) * 3];
            f.set(x0 + x, y0 + y, px[2], px[1], px[0]);
        }
    return f;
}

TEST(PatternIdentification, QuarterTurnsOfAHeadOnMarker) {
    clearPatterns();
    SynthPicture picture = defaultMarkerPicture(40);
    std::string path = writePattern("turns.patt", patternOf(picture));
    ASSERT_EQ(loadPattern(path.c_str()), 0);
    installPlainCamera(120, 100);
    // Outline corners of the marker drawn at (20, 10): top-left first, clockwise on screen.
    int cx[4] = {20, 59, 59, 20}, cy[4] = {10, 10, 49, 49};
    const int index[4] = {0, 1, 2, 3};
    for (int turns = 0; turns < 4; turns++) {
        TestFrame f = headOnMarker(picture, turns, 20, 10);
        int id, orientation;
        double confidence;
        identifyMarker(f.data(), cx, cy, index, &id, &orientation, &confidence);
        EXPECT_EQ(id, 0);
        EXPECT_EQ(orientation, turns);
        EXPECT_GT(confidence, 0.8);
    }
    std::remove(path.c_str());
}

TEST(PatternIdentification, DegenerateCornersAreUnidentified) {
    installPlainCamera(120, 100);
    TestFrame f(120, 100);
    int x[4] = {10, 20, 30, 40}, y[4] = {10, 20, 30, 40};  // all collinear
    const int index[4] = {0, 1, 2, 3};
    int id = 5, orientation = 5;
    double confidence = 5;
    identifyMarker(f.data(), x, y, index, &id, &orientation, &confidence);
    EXPECT_EQ(id, -1);
    EXPECT_EQ(orientation, -1);
    EXPECT_EQ(confidence, 0.0);
}

TEST(PatternIdentification, MarkerPartlyOutsideTheImageIsSampledWithZeros) {
    installPlainCamera(100, 120);
    TestFrame f(100, 120, 200);
    // A 100-pixel square whose right half lies beyond the image edge at x = 100.
    double x[4] = {50, 150, 150, 50}, y[4] = {10, 10, 110, 110}, h[8];
    ASSERT_EQ(fitSquareHomography(x, y, h), 0);
    uint8_t sample[kPatternCells];
    ASSERT_EQ(samplePattern(f.data(), h, x, y, sample), 0);
    // The inner half spans x = 75 .. 125: columns 0-7 lie inside, 8-15 outside.
    for (int r = 0; r < 16; r++) {
        EXPECT_EQ(sample[(r * 16 + 0) * 3], 200);
        EXPECT_EQ(sample[(r * 16 + 7) * 3], 200);
        EXPECT_EQ(sample[(r * 16 + 8) * 3], 0);
        EXPECT_EQ(sample[(r * 16 + 15) * 3 + 2], 0);
    }
}

}  // namespace
