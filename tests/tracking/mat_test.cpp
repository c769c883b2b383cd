// The mat of markers: its file, and its pose on rendered frames with markers covered, out of
// the picture, identified wrongly or lifted off the sheet.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "common/scratch_dir.h"
#include "synth_fixture.h"
#include "tracking/auto_threshold.h"
#include "tracking/mat.h"
#include "tracking/pose.h"
#include "tracking/refine.h"

namespace {

std::string writePatternOf(const ScratchDir& dir, const std::string& name, const SynthPicture& picture) {
    uint8_t values[kPatternFileValues];
    makePatternValues(picture, values);
    const std::string path = dir.file(name);
    EXPECT_EQ(savePatternFile(path.c_str(), values), 0);
    return path;
}

TEST(MatFile, ReadsMarkersAndRefusesWhatItCannotUseNamingTheLine) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    std::filesystem::create_directory(dir.file("sub/p"));
    for (int i = 0; i < 3; i++) writePatternOf(dir, "sub/p/m" + std::to_string(i) + ".patt", codedMarkerPicture(i));
    SynthPicture turned = codedMarkerPicture(0);  // m0 a quarter turn on
    for (int y = 0; y < turned.size; y++)
        for (int x = 0; x < turned.size; x++)
            for (int c = 0; c < 3; c++)
                turned.rgb[(y * turned.size + x) * 3 + c] = codedMarkerPicture(0).rgb[(x * turned.size + turned.size - 1 - y) * 3 + c];
    writePatternOf(dir, "sub/p/turned.patt", turned);

    clearPatterns();
    const std::string good = dir.write("sub/mat.txt",
                                       "\xEF\xBB\xBF# a mat\n\nMARKER p/m0.patt 0 0 80   # the centre\n"
                                       "  MARKER p\\m1.patt -150.5 +90 60\nMARKER p/m2.patt 150 -90 6e1\n");
    Mat mat;
    std::string why;
    ASSERT_TRUE(isMatFile(good.c_str()));
    ASSERT_TRUE(loadMat(good.c_str(), &mat, &why)) << why;
    ASSERT_EQ(mat.markers.size(), 3u);
    EXPECT_EQ(mat.markers[1].line, 4);
    EXPECT_EQ(mat.markers[1].centre[0], -150.5);
    EXPECT_EQ(mat.markers[2].width, 60.0);
    EXPECT_EQ(mat.markers[2].patternId, 2);
    EXPECT_EQ(matMarkerIndex(mat, 1), 1);
    EXPECT_FALSE(isMatFile(mat.markers[0].patternPath.c_str()));
    EXPECT_FALSE(isMatFile(dir.write("empty.txt", " \n").c_str()));

    std::string fiftyOne;
    for (int i = 0; i <= kMaxPatterns; i++) {
        const std::string name = "p/q" + std::to_string(i) + ".patt";
        std::filesystem::copy_file(dir.file("sub/p/m0.patt"), dir.file("sub/" + name));
        fiftyOne += "MARKER " + name + " " + std::to_string(100 * i) + " 0 80\n";
    }
    const struct {
        std::string text, error;
    } refused[] = {
        {"MARKER p/m0.patt 0 0 80\nMARKR p/m1.patt 100 0 80\n", ":2: unknown word \"MARKR\""},
        {"MARKER p/m0.patt 0 0 80\nM\a" + std::string(50, 'A') + " p 0 0 80\n",
         ":2: unknown word \"M\\x07" + std::string(38, 'A') + "...\""},
        {"MARKER p/m0.patt 0 0 80\nMARKER p/m1.patt 1,5 0 80\n", ":2: bad number \"1,5\" for the centre x"},
        {"MARKER p/m0.patt 0 nan 80\n", ":1: bad number \"nan\" for the centre y"},
        {"MARKER p/m0.patt 0 0 1e999\n", ":1: bad number \"1e999\" for the width"},
        {"MARKER p/m0.patt 0 0 0\n", ":1: width 0 is not above 0"},
        {"MARKER p/m0.patt 0 0\n", ":1: expected MARKER <pattern file> <centre x> <centre y> <width>, found 3"},
        {"\n\nMARKER p/none.patt 0 0 80\n", ":3: pattern " + dir.file("sub/p/none.patt") + ": No such file"},
        {"MARKER p/m0.patt 0 0 80\nMARKER p/../p/m0.patt 100 0 80\n", ":2: pattern " + dir.file("sub/p/../p/m0.patt") +
                                                                          " is already used on line 1"},
        {"MARKER p/m0.patt 0 0 80\nMARKER p/m1.patt 79 -60 80\n", ":2: marker overlaps the marker on line 1"},
        {fiftyOne, ":51: more than 50 markers"},
        {"# only a comment\n", ": no MARKER line"},
        {"MARKER p/m0.patt 0 0 80\nMARKER p/turned.patt 100 0 80\n", ":2: pattern " + dir.file("sub/p/turned.patt") +
                                                                          " is too like the pattern on line 1"},
    };
    for (const auto& c : refused) {
        clearPatterns();
        const std::string path = dir.write("sub/bad.txt", c.text);
        EXPECT_FALSE(loadMat(path.c_str(), &mat, &why)) << c.text;
        EXPECT_EQ(why.find(path + c.error), 0u) << why;
    }
}

// Five markers on a sheet, the centre one 80 wide, as a user might lay them out.
struct FiveMarkerMat {
    ScratchDir dir;
    std::vector<SynthPicture> pictures;
    std::vector<SynthMatMarker> places;
    SynthPicture sheet = blankSheetPicture();
    Mat mat;

    FiveMarkerMat() {
        const double layout[5][3] = {{0, 0, 80}, {-160, 100, 60}, {160, 100, 60}, {160, -100, 60}, {-160, -100, 60}};
        std::string text;
        for (int i = 0; i < 5; i++) pictures.push_back(codedMarkerPicture(10 + i, 96));
        for (int i = 0; i < 5; i++) {
            places.push_back(SynthMatMarker{&pictures[i], {layout[i][0], layout[i][1]}, layout[i][2]});
            writePatternOf(dir, "m" + std::to_string(i) + ".patt", pictures[i]);
            text += "MARKER m" + std::to_string(i) + ".patt " + std::to_string(layout[i][0]) + " " +
                    std::to_string(layout[i][1]) + " " + std::to_string(layout[i][2]) + "\n";
        }
        clearPatterns();
        resetMarkerHistory();
        resetAutoThreshold();
        std::string why;
        EXPECT_TRUE(loadMat(dir.write("mat.txt", text).c_str(), &mat, &why)) << why;
    }

    // The mat seen from 480 units away, tilted 35 degrees; `lift` turns marker 3 out of the
    // sheet about its left side by that many degrees.
    SynthFrame render(const double pose[3][4], const SynthOptions& options, double lift = 0) const {
        std::vector<SynthMarker> placed = placeOnMat(places, pose, &sheet, 560);
        if (lift != 0) {
            // Turned about its left side (local x = -h), which stays on the sheet.
            const double a = -lift * 3.141592653589793 / 180, h = places[3].width / 2;
            const double c = std::cos(a), s = std::sin(a);
            const double turn[3][3] = {{c, 0, s}, {0, 1, 0}, {-s, 0, c}}, shift[3] = {h * c - h, 0, -h * s};
            SynthMarker& m = placed[3];
            const SynthMarker flat = m;
            for (int r = 0; r < 3; r++) {
                for (int k = 0; k < 3; k++)
                    m.pose[r][k] = flat.pose[r][0] * turn[0][k] + flat.pose[r][1] * turn[1][k] + flat.pose[r][2] * turn[2][k];
                m.pose[r][3] = flat.pose[r][3] + flat.pose[r][0] * shift[0] + flat.pose[r][2] * shift[2];
            }
        }
        SynthFrame frame;
        EXPECT_EQ(renderSynthFrame(*trackerCameraParams(), placed.data(), static_cast<int>(placed.size()), options,
                                   &frame),
                  0);
        return frame;
    }
};

double rotationErrorDeg(const double a[3][4], const double b[3][4]) {
    double trace = 0;
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) trace += a[i][j] * b[i][j];
    return std::acos(std::clamp((trace - 1) / 2, -1.0, 1.0)) * 180 / 3.141592653589793;
}

double distanceError(const double found[3][4], const double truth[3][4]) {
    return std::fabs(std::hypot(found[0][3], found[1][3], found[2][3]) / std::hypot(truth[0][3], truth[1][3], truth[2][3]) - 1);
}

// A webcam's tone curve (gamma 2.2) on a rendered frame: dark outlines seem wider.
SynthFrame throughToneCurve(SynthFrame frame) {
    for (size_t i = 0; i < frame.bgrx.size(); i++)
        frame.bgrx[i] = static_cast<uint8_t>(std::lround(255 * std::pow(frame.bgrx[i] / 255.0, 1 / 2.2)));
    return frame;
}

std::vector<int> usedIds(const MatPose& pose, const DetectedMarker* list) {
    std::vector<int> ids;
    for (int u = 0; u < pose.usedCount; u++) ids.push_back(list[pose.used[u]].id);
    std::sort(ids.begin(), ids.end());
    return ids;
}

TEST(MatPose, FromEveryMarkerThatAgreesWithTheOthers) {
    const CameraIntrinsics camera = makeWebcamIntrinsics(960, 540);
    ASSERT_EQ(setTrackerCameraParams(&camera), 0);
    FiveMarkerMat mat;
    SynthOptions options;
    options.supersample = 2;
    options.noiseSigma = 2;
    double pose[3][4];
    makeMarkerPose(640, 35, 0, 15, 0, 0, pose);
    SynthOccluder over;  // a hand over the centre marker's corner
    over.polygon = {480, 270, 640, 220, 640, 500, 480, 500};
    SynthOptions covered = options;
    covered.occluders.push_back(over);
    // Markers 1 and 2 printed swapped: each is taken for the other, in the wrong place.
    SynthOptions blurred = options;
    blurred.blurPasses = 2;
    FiveMarkerMat swapped;
    std::swap(swapped.places[1].picture, swapped.places[2].picture);

    const SynthFrame whole = mat.render(pose, options);
    const struct {
        const char* name;
        const SynthFrame& frame;
        bool precise;
        bool afterWhole;  // the marker history remembers the whole mat
        std::vector<int> ids;
        double maxRotation, maxDistance;
    } cases[] = {
        {"whole mat", whole, true, false, {0, 1, 2, 3, 4}, 0.05, 0.001},
        {"whole mat, exact", whole, false, false, {0, 1, 2, 3, 4}, 0.5, 0.01},
        {"whole mat, tone curve and blur", throughToneCurve(mat.render(pose, blurred)), true, false, {0, 1, 2, 3, 4},
         0.05, 0.001},
        {"centre covered", mat.render(pose, covered), true, true, {1, 2, 3, 4}, 0.05, 0.001},
        {"two swapped", swapped.render(pose, options), true, false, {0, 3, 4}, 0.1, 0.002},
        {"marker 3 lifted by 10 degrees", mat.render(pose, options, 10), true, false, {0, 1, 2, 4}, 0.05, 0.001},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> frame = c.frame.bgrx;
        resetMarkerHistory();
        DetectedMarker* list = nullptr;
        int count = 0;
        std::vector<uint8_t> before = whole.bgrx;
        if (c.afterWhole) {
            ASSERT_EQ(detectMarkersAuto(before.data(), kDefaultThreshold, &list, &count), 0);
        }
        ASSERT_EQ(detectMarkersAuto(frame.data(), kDefaultThreshold, &list, &count), 0);
        if (c.precise) refineMatMarkers(frame.data(), mat.mat, list, count);
        MatPose found;
        ASSERT_GE(estimateMatPose(mat.mat, list, count, c.precise, &found), 0) << c.name;
        EXPECT_EQ(usedIds(found, list), c.ids) << c.name;
        EXPECT_EQ(found.refined, c.precise) << c.name;
        EXPECT_LT(rotationErrorDeg(found.transform, pose), c.maxRotation) << c.name;
        EXPECT_LT(distanceError(found.transform, pose), c.maxDistance) << c.name;
    }
}

}  // namespace
