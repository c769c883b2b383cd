#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/scratch_dir.h"
#include "image_file.h"
#include "synth_fixture.h"
#include "tool_runner.h"

namespace {

const std::string kTrack = ROVANTA_TRACK_BINARY;

SynthFrame blankFrame(uint8_t value) {
    SynthFrame frame;
    frame.width = 640;
    frame.height = 480;
    frame.bgrx.assign(640 * 480 * 4, value);
    return frame;
}

class TrackTool : public ::testing::Test {
  protected:
    SynthPicture first = defaultMarkerPicture(), second = secondMarkerPicture();
    CameraIntrinsics camera = makeWebcamIntrinsics(640, 480);
    std::string cameraPath = tempPath("tool_camera.dat");
    std::string firstPattern = tempPath("tool_first.patt"), secondPattern = tempPath("tool_second.patt");
    std::vector<std::string> scratch;

    void SetUp() override {
        ASSERT_EQ(saveCameraParams(cameraPath.c_str(), &camera, 1), 0);
        uint8_t values[kPatternFileValues];
        makePatternValues(first, values);
        ASSERT_EQ(savePatternFile(firstPattern.c_str(), values), 0);
        makePatternValues(second, values);
        ASSERT_EQ(savePatternFile(secondPattern.c_str(), values), 0);
        scratch = {cameraPath, firstPattern, secondPattern};
    }
    void TearDown() override {
        for (const std::string& path : scratch) std::remove(path.c_str());
    }
    std::string writeFrame(const std::string& name, const SynthFrame& frame) {
        RgbPicture picture{frame.width, frame.height, std::vector<uint8_t>(frame.width * frame.height * 3)};
        for (int p = 0; p < frame.width * frame.height; p++)
            for (int c = 0; c < 3; c++) picture.rgb[p * 3 + c] = frame.bgrx[p * 4 + 2 - c];
        std::string path = tempPath(name);
        EXPECT_TRUE(writePpm(path, picture));
        scratch.push_back(path);
        return path;
    }
    // The same frame as a 24-bit bitmap: bottom row first, rows padded to 4 bytes.
    std::string writeBmpFrame(const std::string& name, const SynthFrame& frame) {
        const int rowBytes = (frame.width * 3 + 3) / 4 * 4;
        std::string bytes(54 + static_cast<size_t>(rowBytes) * frame.height, '\0');
        auto put32 = [&bytes](size_t at, uint32_t v) {
            for (int i = 0; i < 4; i++) bytes[at + i] = static_cast<char>(v >> (8 * i));
        };
        bytes[0] = 'B';
        bytes[1] = 'M';
        put32(2, static_cast<uint32_t>(bytes.size()));
        put32(10, 54);
        put32(14, 40);
        put32(18, static_cast<uint32_t>(frame.width));
        put32(22, static_cast<uint32_t>(frame.height));
        bytes[26] = 1;
        bytes[28] = 24;
        for (int y = 0; y < frame.height; y++)
            for (int x = 0; x < frame.width; x++)
                for (int c = 0; c < 3; c++)
                    bytes[54 + static_cast<size_t>(frame.height - 1 - y) * rowBytes + x * 3 + c] =
                        static_cast<char>(frame.bgrx[(static_cast<size_t>(y) * frame.width + x) * 4 + c]);
        return writeText(name, bytes);
    }
    std::string writeText(const std::string& name, const std::string& text) {
        std::string path = tempPath(name);
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        scratch.push_back(path);
        return path;
    }
    ToolRun track(const std::string& arguments) {
        return runTool(kTrack + " --camera " + cameraPath + " --pattern " + firstPattern + " " + arguments,
                       tempPath("run"));
    }
};

TEST_F(TrackTool, ReportsIdsCornersAndPosesAsJsonLines) {
    SynthMarker markers[2];
    markers[0].picture = &first;
    markers[1].picture = &second;
    makeMarkerPose(500, 30, 10, 15, -70, 10, markers[0].pose);
    makeMarkerPose(520, 35, 5, 100, 90, 20, markers[1].pose);
    SynthFrame both, one;
    ASSERT_EQ(renderSynthFrame(camera, markers, 2, {}, &both), 0);
    ASSERT_EQ(renderSynthFrame(camera, markers, 1, {}, &one), 0);
    std::string a = writeFrame("tool_a.ppm", both), b = writeFrame("tool_b.ppm", one);

    ToolRun run = track("--pattern " + secondPattern + " --marker-width 80 " + a + " " + b);
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<nlohmann::json> lines = jsonLines(run.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["image"], a);
    EXPECT_EQ(lines[0]["width"], 640);
    EXPECT_EQ(lines[0]["height"], 480);
    EXPECT_TRUE(lines[0]["ms"].is_number());

    const nlohmann::json& found = lines[0]["markers"];
    ASSERT_EQ(found.size(), 2u) << found;
    for (int k = 0; k < 2; k++) {
        const nlohmann::json& marker = found[k];
        ASSERT_EQ(marker["id"], k) << found;
        for (int r = 0; r < 3; r++) EXPECT_NEAR(marker["pose"][r][3].get<double>(), markers[k].pose[r][3], 8.0) << k;
        EXPECT_EQ(marker["corners"].size(), 4u);
        EXPECT_GT(marker["confidence"].get<double>(), 0.8);
        EXPECT_GE(marker["pose_error"].get<double>(), 0.0);
    }
    // Each image stands alone: the second, which lacks the second marker, does not list it.
    const nlohmann::json& later = lines[1]["markers"];
    ASSERT_EQ(later.size(), 1u) << later;
    EXPECT_EQ(later[0]["id"], 0);
}

// --mat adds the mat's pose from its markers; a mat pattern also given with --pattern keeps its id.
TEST_F(TrackTool, MatPoseFromAllItsMarkers) {
    const std::string mat = writeText("tool_mat.txt", "# two markers\nMARKER " + firstPattern + " -60 0 80\nMARKER " +
                                                         secondPattern + " 70 10 60\n");
    double pose[3][4];
    makeMarkerPose(520, 30, 0, 15, 0, 0, pose);
    const SynthPicture sheet = blankSheetPicture();
    const std::vector<SynthMatMarker> places = {{&first, {-60, 0}, 80}, {&second, {70, 10}, 60}};
    const std::vector<SynthMarker> placed = placeOnMat(places, pose, &sheet, 300);
    SynthFrame frame, empty;
    ASSERT_EQ(renderSynthFrame(camera, placed.data(), 3, {}, &frame), 0);
    ASSERT_EQ(renderSynthFrame(camera, nullptr, 0, {}, &empty), 0);
    // Without markers first: after the mat, the marker history would still hold them.
    const std::string images = writeFrame("tool_nomat.ppm", empty) + " " + writeFrame("tool_mat.ppm", frame);

    ToolRun run = track("--mat " + mat + " " + images);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<nlohmann::json> lines = jsonLines(run.out);
    ASSERT_EQ(lines.size(), 2u);
    const nlohmann::json& found = lines[1]["mat"];
    EXPECT_EQ(found["markers"], nlohmann::json({0, 1})) << found;
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 4; c++) EXPECT_NEAR(found["pose"][r][c].get<double>(), pose[r][c], c < 3 ? 1e-3 : 0.3);
    EXPECT_LT(found["pose_error"].get<double>(), 0.05);
    EXPECT_EQ(found["refined"], true);
    EXPECT_NE(run.out.find(", \"mat\": null}"), std::string::npos) << run.out;
    EXPECT_EQ(track(images).out.find("\"mat\""), std::string::npos);

    run = runTool(kTrack + " --camera " + cameraPath + " --mat " + mat + " --exact " + images, tempPath("run"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(jsonLines(run.out).at(1)["mat"]["refined"], false);
    EXPECT_EQ(runTool(kTrack + " --camera " + cameraPath + " " + images, tempPath("run")).status, 2);
    run = track("--mat " + writeText("tool_badmat.txt", "MARKER " + secondPattern + " 0 0 -1\n") + " " + images);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("tool_badmat.txt:1: width -1 is not above 0"), std::string::npos) << run.err;
}

// Refinement is on by default and says so per image and per marker; --exact turns it off; a
// marker it cannot refine (three pixels from the frame border) keeps the corners detection found.
TEST_F(TrackTool, RefinedCornersByDefaultDetectedOnesWithExact) {
    struct Case {
        const char* flags;
        double offsetX;  // marker centre from the camera axis, at distance 400
        const char* refined;
        double cornerLow, cornerHigh;  // bounds of the worst corner error, pixels
    };
    const Case cases[] = {{"", 0, "true", 0, 0.2}, {"--exact", 0, "false", 0.3, 1.5}, {"", 152, "false", 0.25, 1.5}};
    for (const Case& c : cases) {
        SynthMarker marker;
        marker.picture = &first;
        makeMarkerPose(400, c.offsetX ? 0 : 20, 0, c.offsetX ? 0 : 25, c.offsetX, 0, marker.pose);
        SynthOptions options;
        options.noiseSigma = 3;
        SynthFrame frame;
        ASSERT_EQ(renderSynthFrame(camera, &marker, 1, options, &frame), 0);
        ToolRun run = track(std::string(c.flags) + " " + writeFrame("tool_refined.ppm", frame));
        ASSERT_EQ(run.status, 0) << run.err;
        // The flags sit where scripts reading the line expect them.
        const std::string flag = std::string("\"refined\": ") + c.refined;
        EXPECT_NE(run.out.find(", " + flag + ", \"markers\": ["), std::string::npos) << run.out;
        EXPECT_NE(run.out.find(", " + flag + "}"), std::string::npos) << run.out;
        const nlohmann::json markers = jsonLines(run.out).at(0)["markers"];
        ASSERT_EQ(markers.size(), 1u) << c.flags << " " << c.offsetX << ": " << run.out;
        const nlohmann::json& found = markers[0];
        ASSERT_EQ(found["id"], 0);
        const int orientation = found["orientation"].get<int>();
        double worst = 0;
        for (int j = 0; j < 4; j++) {
            const int k = (j + orientation) % 4;
            const std::vector<double>& truth = frame.idealCorners[0];
            worst = std::fmax(worst, std::hypot(found["corners"][j][0].get<double>() - truth[2 * k],
                                                found["corners"][j][1].get<double>() - truth[2 * k + 1]));
        }
        EXPECT_GE(worst, c.cornerLow) << c.flags << " " << c.offsetX;
        EXPECT_LE(worst, c.cornerHigh) << c.flags << " " << c.offsetX;
    }
}

TEST_F(TrackTool, RepeatReportsTheSameMarkers) {
    SynthMarker marker;
    marker.picture = &first;
    makeMarkerPose(400, 20, 0, 0, 0, 0, marker.pose);
    SynthFrame frame;
    ASSERT_EQ(renderSynthFrame(camera, &marker, 1, {}, &frame), 0);
    std::string path = writeFrame("tool_repeat.ppm", frame);
    ToolRun once = track(path), many = track("--repeat 5 " + path);
    ASSERT_EQ(once.status, 0);
    ASSERT_EQ(many.status, 0);
    const nlohmann::json onceMarkers = jsonLines(once.out).at(0)["markers"];
    ASSERT_EQ(onceMarkers.size(), 1u);
    EXPECT_EQ(onceMarkers, jsonLines(many.out).at(0)["markers"]);
}

TEST_F(TrackTool, BitmapFramesGiveTheSameMarkersAsPpm) {
    SynthMarker marker;
    marker.picture = &first;
    makeMarkerPose(450, 30, 10, 0, 0, 0, marker.pose);
    SynthFrame frame;
    ASSERT_EQ(renderSynthFrame(camera, &marker, 1, {}, &frame), 0);
    ToolRun ppm = track(writeFrame("tool_same.ppm", frame));
    ToolRun bmp = track(writeBmpFrame("tool_same.bmp", frame));
    ASSERT_EQ(ppm.status, 0);
    ASSERT_EQ(bmp.status, 0) << bmp.err;
    const nlohmann::json ppmMarkers = jsonLines(ppm.out).at(0)["markers"];
    ASSERT_EQ(ppmMarkers.size(), 1u);
    EXPECT_EQ(ppmMarkers, jsonLines(bmp.out).at(0)["markers"]);
}

TEST_F(TrackTool, FrameWithoutMarkersGivesAnEmptyList) {
    SynthFrame frame;
    ASSERT_EQ(renderSynthFrame(camera, nullptr, 0, {}, &frame), 0);
    ToolRun run = track(writeFrame("tool_empty.ppm", frame));
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\"markers\": []}"), std::string::npos) << run.out;
}

TEST_F(TrackTool, BadCameraFilesFailWithTheStartUpMessage) {
    std::string missing = tempPath("no_such_camera.dat");
    ToolRun run = runTool(kTrack + " --camera " + missing + " --pattern " + firstPattern + " x.ppm", tempPath("run"));
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("Camera parameter load error !!"), std::string::npos);
    EXPECT_NE(run.err.find("No such file or directory"), std::string::npos);

    std::string shortFile = writeText("short_camera.dat", std::string(135, '\0'));
    run = runTool(kTrack + " --camera " + shortFile + " --pattern " + firstPattern + " x.ppm", tempPath("run"));
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("shorter than one 136-byte record"), std::string::npos);
}

TEST_F(TrackTool, MalformedPatternFails) {
    std::string bad = writeText("bad.patt", "1 2 3 oops");
    ToolRun run = track("--pattern " + bad + " x.ppm");
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("Pattern Data read error!!"), std::string::npos);
    EXPECT_NE(run.err.find("pattern load error !! (" + bad + ":1: expected a whole number"), std::string::npos);
}

// Each image that cannot be tracked is reported on standard error and the others are still
// tracked; the status says that one failed.
TEST_F(TrackTool, InvalidImagesAreReportedAndTheOthersTracked) {
    // More than the 1,048,576 pixels the tracker once took.
    RgbPicture large{1100, 1000, std::vector<uint8_t>(1100 * 1000 * 3, 200)};
    std::string largePath = tempPath("large.ppm");
    ASSERT_TRUE(writePpm(largePath, large));
    scratch.push_back(largePath);
    const std::string images[][2] = {
        {writeText("not_an_image.ppm", "hello"), "not_an_image.ppm: unsupported image format"},
        {largePath, ""},
        {writeText("truncated.ppm", "P6\n4 4\n255\nabc"), "truncated.ppm: not a valid PPM: pixel data is truncated"},
        {writeText("lying.ppm", "P6\n30000 30000\n255\nabc"), "lying.ppm: the picture is too large: 30000x30000"},
        {writeText("deep.ppm", "P6\n1 1\n65535\n123456"), "deep.ppm: not a valid PPM: only 8-bit samples"},
        {largePath, ""},
    };
    std::string arguments;
    for (const auto& image : images) arguments += " " + image[0];
    ToolRun run = track(arguments);
    EXPECT_EQ(run.status, 1);
    for (const auto& image : images) EXPECT_NE(run.err.find(image[1]), std::string::npos) << run.err;
    const std::vector<nlohmann::json> lines = jsonLines(run.out);
    ASSERT_EQ(lines.size(), 2u) << run.out;
    EXPECT_EQ(lines[1]["width"], 1100);
}

// Hostile files: each is refused with one line naming the file and the cause,
// quickly, and standard output stays one JSON object per image.
TEST_F(TrackTool, HostileFilesAreRefusedWithTheirCause) {
    ScratchDir dir;
    auto cameraWith = [&dir](const char* name, void (*spoil)(CameraIntrinsics&)) {
        CameraIntrinsics c = makeWebcamIntrinsics(640, 480);
        spoil(c);
        const std::string path = dir.file(name);
        saveCameraParams(path.c_str(), &c, 1);
        return path;
    };
    uint8_t flatValues[kPatternFileValues];
    std::fill(flatValues, flatValues + kPatternFileValues, 90);
    const std::string flat = dir.file("flat.patt");
    ASSERT_EQ(savePatternFile(flat.c_str(), flatValues), 0);
    const std::string image = writeFrame("tool_hostile.ppm", blankFrame(0));
    const std::string pipe = dir.pipe("pipe");
    const std::string pattern = " --pattern " + firstPattern + " ";
    const struct {
        std::string arguments, message;
    } cases[] = {
        {"--camera " + pipe + pattern + image, "Camera parameter load error !! (" + pipe + ": a named pipe"},
        {"--camera " + cameraWith("nan.dat", [](CameraIntrinsics& c) { c.projection[0][2] = NAN; }) + pattern + image,
         "nan.dat: unusable camera parameters: projection[0][2] is nan)"},
        {"--camera " + cameraPath + " --pattern " + pipe + " " + image, "pattern load error !! (" + pipe + ": a named pipe"},
        {"--camera " + cameraPath + " --pattern " + flat + " " + image,
         "pattern load error !! (" + flat + ": orientation 0 has no contrast"},
        {"--camera " + cameraPath + pattern + pipe, pipe + ": cannot open file: a named pipe, not a regular file"},
        {"--camera " + cameraPath + pattern + dir.write("header.ppm", "P6\n4 4\n255"),
         "header.ppm: not a valid PPM: the file ends after its header, with no pixel data"},
        {"--camera " + cameraPath + pattern + dir.write("huge.ppm", "P6 32768 32768 255\n"),
         "huge.ppm: the picture is too large: 32768x32768 exceeds the capacity of " +
             std::to_string(kMaxTrackerPixels) + " pixels"},
    };
    for (const auto& c : cases) {
        ToolRun run = runTool(kTrack + " " + c.arguments, dir.file("run"));
        EXPECT_EQ(run.status, 1) << c.arguments;
        EXPECT_EQ(run.out, "");
        // The error is the last line; a pattern file's own diagnostic may come before it.
        ASSERT_FALSE(run.err.empty());
        const size_t lastLine = run.err.find_last_of('\n', run.err.size() - 2);
        EXPECT_NE(run.err.find(c.message, lastLine == std::string::npos ? 0 : lastLine), std::string::npos) << run.err;
    }

    std::string fiftyOne;
    for (int i = 0; i <= kMaxPatterns; i++) fiftyOne += " --pattern " + firstPattern;
    ToolRun run = runTool(kTrack + " --camera " + cameraPath + fiftyOne + " " + image, dir.file("run"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "rovanta-track: " + firstPattern + ": cannot load more than 50 patterns\n");
}

// A dark comb: its outline is far longer than the tracker traces at full size, so
// the fixed threshold's tracker says "??? 3" for it; that goes to standard error,
// not into the JSON.
TEST_F(TrackTool, TrackerDiagnosticsGoToStandardError) {
    SynthFrame frame = blankFrame(255);
    auto darken = [&frame](int x, int y) { std::fill_n(&frame.bgrx[(static_cast<size_t>(y) * 640 + x) * 4], 3, 0); };
    for (int x = 100; x <= 500; x++)
        for (int y = 50; y < 53; y++) darken(x, y);
    for (int x = 100; x <= 300; x += 2)
        for (int y = 53; y < 253; y++) darken(x, y);
    ToolRun run = track("--fixed-threshold " + writeFrame("tool_comb.ppm", frame));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "??? 3\n");
    const std::vector<nlohmann::json> lines = jsonLines(run.out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0]["markers"].empty()) << run.out;
}

TEST_F(TrackTool, UsageErrorsExitWithStatusTwo) {
    EXPECT_EQ(runTool(kTrack + " --pattern " + firstPattern + " x.ppm", tempPath("run")).status, 2);
    EXPECT_EQ(track("").status, 2);
    EXPECT_EQ(track("--threshold abc x.ppm").status, 2);
    EXPECT_EQ(track("--repeat 0 x.ppm").status, 2);
    EXPECT_EQ(track("--bogus 1 x.ppm").status, 2);
    EXPECT_EQ(runTool(kTrack + " --help", tempPath("run")).status, 0);
}

}  // namespace

namespace {

// A dim room: the tool finds the marker with its automatic thresholding and reports the level it
// chose; with --fixed-threshold the plain level darkens the whole frame and finds nothing.
TEST(TrackToolLight, AutomaticThresholdFindsTheMarkerInADimRoomAndTheSwitchTurnsItOff) {
    std::string dir = testScratchDir();
    dir.pop_back();
    CameraIntrinsics camera = makeWebcamIntrinsics(640, 480);
    SynthPicture picture = defaultMarkerPicture();
    uint8_t values[kPatternFileValues];
    makePatternValues(picture, values);
    ASSERT_EQ(saveCameraParams((dir + "/camera.dat").c_str(), &camera, 1), 0);
    ASSERT_EQ(savePatternFile((dir + "/marker.patt").c_str(), values), 0);
    LightCase dim = makeLightCase(LightCondition::Dim, camera, 721);
    dim.options.supersample = 1;
    SynthMarker marker;
    marker.picture = &picture;
    std::memcpy(marker.pose, dim.pose, sizeof dim.pose);
    SynthFrame frame;
    ASSERT_EQ(renderSynthFrame(camera, &marker, 1, dim.options, &frame), 0);
    RgbPicture image{640, 480, std::vector<uint8_t>(640 * 480 * 3)};
    for (int p = 0; p < 640 * 480; p++)
        for (int c = 0; c < 3; c++) image.rgb[p * 3 + c] = frame.bgrx[p * 4 + 2 - c];
    ASSERT_TRUE(writePpm(dir + "/dim.ppm", image));

    const std::string command = kTrack + " --camera " + dir + "/camera.dat --pattern " + dir + "/marker.patt ";
    ToolRun automatic = runTool(command + dir + "/dim.ppm", dir + "/auto");
    ToolRun fixed = runTool(command + "--fixed-threshold " + dir + "/dim.ppm", dir + "/fixed");
    ASSERT_EQ(automatic.status, 0) << automatic.err;
    ASSERT_EQ(fixed.status, 0) << fixed.err;
    const nlohmann::json chosen = jsonLines(automatic.out).at(0)["threshold"];
    EXPECT_EQ(chosen["automatic"], true) << automatic.out;
    // Per-tile levels, or one far below the plain 100.
    EXPECT_TRUE(chosen.value("local", false) || chosen.value("level", 255) < 60) << automatic.out;
    EXPECT_NE(automatic.out.find("{\"id\": 0"), std::string::npos) << automatic.out;
    EXPECT_NE(fixed.out.find("\"threshold\": {\"automatic\": false, \"level\": 100}"), std::string::npos) << fixed.out;
    EXPECT_NE(fixed.out.find("\"markers\": []"), std::string::npos) << fixed.out;
}

}  // namespace
