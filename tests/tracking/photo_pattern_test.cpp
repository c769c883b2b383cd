// rovanta-mkpatt --photo: a pattern trained from rendered photographs must
// identify the marker in other frames (other poses, noise, light), and with
// the same orientation as the pattern made from the marker's own picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>

#include "common/scratch_dir.h"
#include "image_file.h"
#include "synth_fixture.h"
#include "tool_runner.h"

namespace {

const std::string kMkpatt = ROVANTA_MKPATT_BINARY;

struct Shot {
    double distance, tilt, yaw, spin, x, y;
    double noise;
    std::function<double(int x, int y, double v)> light;  // changes one channel value
};

double unchanged(int, int, double v) { return v; }

SynthFrame render(const CameraIntrinsics& cam, const SynthPicture& picture, const Shot& s, unsigned seed) {
    SynthMarker m;
    m.picture = &picture;
    makeMarkerPose(s.distance, s.tilt, s.yaw, s.spin, s.x, s.y, m.pose);
    SynthOptions o;
    o.supersample = 2;
    o.noiseSigma = s.noise;
    o.seed = seed;
    SynthFrame f;
    EXPECT_EQ(renderSynthFrame(cam, &m, 1, o, &f), 0);
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x)
            for (int c = 0; c < 3; ++c) {
                uint8_t& v = f.bgrx[(static_cast<size_t>(y) * f.width + x) * 4 + c];
                v = static_cast<uint8_t>(std::clamp(s.light ? s.light(x, y, v) : v, 0.0, 255.0));
            }
    return f;
}

bool writeFrame(const std::string& path, const SynthFrame& f) {
    RgbPicture p{f.width, f.height, std::vector<uint8_t>(static_cast<size_t>(f.width) * f.height * 3)};
    for (size_t i = 0; i < p.rgb.size() / 3; ++i)
        for (int c = 0; c < 3; ++c) p.rgb[3 * i + c] = f.bgrx[4 * i + 2 - c];
    return writePpm(path, p);
}

// The best identified marker with a single pattern file loaded: confidence and orientation.
std::pair<double, int> identify(const std::string& pattern, const SynthFrame& frame) {
    clearPatterns();
    resetMarkerHistory();
    EXPECT_EQ(loadPattern(pattern.c_str()), 0) << pattern;
    DetectedMarker* list = nullptr;
    int count = 0;
    EXPECT_EQ(detectMarkers(frame.bgrx.data(), 100, &list, &count), 0);
    std::pair<double, int> best{0.0, -1};
    for (int i = 0; i < count; ++i)
        if (list[i].id == 0 && list[i].confidence > best.first) best = {list[i].confidence, list[i].orientation};
    return best;
}

TEST(PhotoPattern, TrainedPatternIdentifiesTheMarkerInOtherFrames) {
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    CameraIntrinsics cam = makeWebcamIntrinsics(640, 480);
    ASSERT_EQ(setTrackerCameraParams(&cam), 0);
    ASSERT_EQ(saveCameraParams(dir.file("camera.dat").c_str(), &cam, 1), 0);
    SynthPicture picture = defaultMarkerPicture(256);
    uint8_t values[kPatternFileValues];
    makePatternValues(picture, values);
    ASSERT_EQ(savePatternFile(dir.file("picture.patt").c_str(), values), 0);

    // One photo held upright; a second one turned a quarter and seen from elsewhere.
    ASSERT_TRUE(writeFrame(dir.file("a.ppm"), render(cam, picture, {380, 25, -10, 3, -30, 20, 3, nullptr}, 1)));
    ASSERT_TRUE(writeFrame(dir.file("b.ppm"), render(cam, picture, {450, 35, 20, 95, 40, -10, 3, nullptr}, 2)));
    const std::string camera = " --camera " + dir.file("camera.dat") + " ";
    ToolRun one = runTool(kMkpatt + " --photo " + dir.file("a.ppm") + camera + "--out " + dir.file("one.patt"),
                          dir.file("r"));
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_NE(one.out.find("a.ppm: marker square of"), std::string::npos) << one.out;
    ToolRun two = runTool(kMkpatt + " --photo " + dir.file("a.ppm") + " " + dir.file("b.ppm") + camera + "--out " +
                              dir.file("two.patt"),
                          dir.file("r"));
    ASSERT_EQ(two.status, 0) << two.err;
    EXPECT_NE(two.out.find("from 2 photos"), std::string::npos) << two.out;
    // A marker that fills most of the photo is still the marker, not a shape inside it.
    ASSERT_TRUE(writeFrame(dir.file("close.ppm"), render(cam, picture, {135, 5, 0, 0, 0, 0, 3, nullptr}, 3)));
    ToolRun close = runTool(kMkpatt + " --photo " + dir.file("close.ppm") + camera + "--out " + dir.file("close.patt"),
                            dir.file("r"));
    ASSERT_EQ(close.status, 0) << close.err;

    const Shot shots[] = {
        {300, 50, 0, 200, 0, 0, 6, nullptr},
        {700, 20, 30, 45, 60, -40, 4, nullptr},
        {420, 30, -25, 290, -50, 30, 3, [](int, int, double v) { return v * 0.7; }},             // dim room
        {420, 15, 15, 120, 30, 20, 3, [](int, int, double v) { return v * 1.25 + 35; }},         // over-exposed
        {400, 40, 10, 20, 0, 10, 3, [](int x, int, double v) { return v * (0.45 + x / 800.0); }}, // light gradient
        {500, 0, 45, 160, -20, -30, 10, unchanged},
    };
    for (const char* trained : {"one.patt", "two.patt", "close.patt"}) {
        for (size_t i = 0; i < std::size(shots); ++i) {
            SynthFrame frame = render(cam, picture, shots[i], static_cast<unsigned>(10 + i));
            auto [confidence, orientation] = identify(dir.file(trained), frame);
            auto reference = identify(dir.file("picture.patt"), frame);
            EXPECT_GE(confidence, 0.8) << trained << " shot " << i;
            EXPECT_EQ(orientation, reference.second) << trained << " shot " << i << ": same turn as the picture's";
            std::printf("%s shot %zu: confidence %.3f (picture pattern %.3f)\n", trained, i, confidence,
                        reference.first);
        }
    }
}

TEST(PhotoPattern, PhotosWithoutAMarkerBadRequestsAndOutputsOverInputsAreRefused) {
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    CameraIntrinsics cam = makeWebcamIntrinsics(320, 240);
    ASSERT_EQ(saveCameraParams(dir.file("camera.dat").c_str(), &cam, 1), 0);
    RgbPicture table{320, 240, std::vector<uint8_t>(320 * 240 * 3, 190)};
    ASSERT_TRUE(writePpm(dir.file("table.ppm"), table));
    RgbPicture plain = table;  // a plain black square: no picture inside
    for (int y = 80; y < 160; ++y)
        std::fill_n(plain.rgb.begin() + (y * 320 + 120) * 3, 80 * 3, uint8_t{10});
    ASSERT_TRUE(writePpm(dir.file("plain.ppm"), plain));
    // A square with a picture inside whose border is barely darker than the paper: a shadow, not ink.
    RgbPicture faint{320, 240, std::vector<uint8_t>(320 * 240 * 3, 120)};
    const auto fill = [&faint](int x0, int y0, int side, uint8_t value) {
        for (int y = y0; y < y0 + side; ++y) std::fill_n(faint.rgb.begin() + (y * 320 + x0) * 3, side * 3, value);
    };
    fill(110, 70, 100, 95), fill(135, 95, 50, 220), fill(140, 100, 20, 20);
    ASSERT_TRUE(writePpm(dir.file("faint.ppm"), faint));
    // Grey noise in which a dark blob of 133 pixels passes for a square.
    RgbPicture noise{640, 480, std::vector<uint8_t>(640 * 480 * 3)};
    std::mt19937 random(8);
    for (size_t i = 0; i < noise.rgb.size(); i += 3) std::fill_n(noise.rgb.begin() + i, 3, static_cast<uint8_t>(random()));
    ASSERT_TRUE(writePpm(dir.file("noise.ppm"), noise));
    // Scaled by the width alone, the 4:3 camera puts its principal point far below a photo this flat.
    ASSERT_TRUE(writePpm(dir.file("wide.ppm"), RgbPicture{2000, 240, std::vector<uint8_t>(2000 * 240 * 3, 190)}));
    struct Case {
        std::string args;
        int status;
        std::string says;
    };
    const std::string camera = " --camera " + dir.file("camera.dat") + " ";
    const std::string out = " --out " + dir.file("o.patt");
    const std::string tablePhoto = dir.file("table.ppm"), plainPhoto = dir.file("plain.ppm");
    const Case cases[] = {
        {"--photo " + tablePhoto + camera + out, 1, "table.ppm: no marker-like square"},
        {"--photo " + plainPhoto + camera + out, 1, "plain.ppm: no marker-like square"},
        {"--photo " + dir.file("noise.ppm") + camera + out, 1, "noise.ppm: no marker-like square"},
        {"--photo " + dir.file("faint.ppm") + camera + out, 1, "faint.ppm: no marker-like square found (a dark square "
                                                            "border around a picture, whole in the photo): the square "
                                                            "found has no border clearly darker than the paper"},
        {"--photo " + dir.file("none.ppm") + camera + out, 1, "none.ppm: cannot open"},
        {"--photo " + dir.file("wide.ppm") + camera + out, 1,
         "wide.ppm: camera parameters unusable for 2000x240 frames: projection[1][2] (the principal point's y)"},
        {"--photo " + tablePhoto + " --camera " + dir.file("no.dat") + out, 1, "Camera parameter load error"},
        {"--photo " + tablePhoto + camera, 2, "--out is required"},
        {"--photo " + tablePhoto + out, 2, "--camera"},
        // A forgotten output name never turns a photo or the camera file into the pattern.
        {"--photo " + tablePhoto + " " + plainPhoto + camera + "--out " + plainPhoto, 2, "plain.ppm is also an input"},
        {"--photo " + plainPhoto + camera + "--out " + tablePhoto, 2, "table.ppm holds a picture (PPM)"},
        {"--photo " + tablePhoto + camera + "--out " + dir.file("camera.dat"), 2, "camera.dat is also an input"},
        {tablePhoto + " " + plainPhoto, 2, "plain.ppm holds a picture (PPM)"},
    };
    const std::string tableBytes = readWholeFile(tablePhoto), cameraBytes = readWholeFile(dir.file("camera.dat"));
    for (const Case& c : cases) {
        ToolRun run = runTool(kMkpatt + " " + c.args, dir.file("r"));
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.args << "\n" << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("o.patt"))) << c.args;
    }
    EXPECT_EQ(readWholeFile(tablePhoto), tableBytes);
    EXPECT_EQ(readWholeFile(dir.file("camera.dat")), cameraBytes);
}

}  // namespace
