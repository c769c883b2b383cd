// The game on a live camera without hardware: an FFmpeg filter graph draws a
// marker into 1280x720 test frames and sends them through the camera path; the
// window, its textures and the tracker must all take the HD frame, and the
// marker's outline (debug mode) must land where the marker is.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/scratch_dir.h"
#include "render/bmp.h"
#include "synthcam.h"
#include "tracking/camera.h"
#include "tracking/pattern.h"
#include "x_session.h"

namespace {

const std::string kDemoDir = ROVANTA_DEMO_DIR;
constexpr int kWidth = 1280, kHeight = 720;

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The demo scene on the camera, with a camera file made for HD frames and the pattern of the drawn marker.
bool writeScene(const std::string& path, const std::string& cameraFile, const std::string& patternFile = "") {
    std::istringstream demo(readFile(kDemoDir + "/Scene.txt"));
    std::ofstream out(path);
    for (std::string line; std::getline(demo, line);) {
        if (line.rfind("VIDEO ", 0) == 0) line = "VIDEO CAMERA";
        if (line.rfind("CAMERA ", 0) == 0) line = "CAMERA " + cameraFile;
        if (line.rfind("PATTERN ", 0) == 0 && !patternFile.empty()) line = "PATTERN " + patternFile;
        out << line << "\n";
    }
    return static_cast<bool>(out);
}

// A marker of side 16 units: the black square, its white inside and a black block in the
// inside's top-left quarter that tells its turn, each a box in those units.
struct MarkerBox {
    int x, y, side, height;
    bool black;
};
const MarkerBox kMarkerBoxes[] = {{0, 0, 16, 16, true}, {4, 4, 8, 8, false}, {5, 5, 2, 3, true}};

std::string drawnMarkerGraph(int left, int top, int unit) {
    std::string graph = "color=c=0xE6E6E6:size=" + std::to_string(kWidth) + "x" + std::to_string(kHeight) + ":rate=15";
    for (const MarkerBox& b : kMarkerBoxes)
        graph += ",drawbox=x=" + std::to_string(left + b.x * unit) + ":y=" + std::to_string(top + b.y * unit) +
                 ":w=" + std::to_string(b.side * unit) + ":h=" + std::to_string(b.height * unit) + ":color=" +
                 (b.black ? "black" : "white") + ":t=fill";
    return graph + ",realtime";
}

bool writeDrawnMarkerPattern(const std::string& path) {
    SynthPicture picture{64, std::vector<uint8_t>(64 * 64 * 3)};
    for (const MarkerBox& b : kMarkerBoxes)
        for (int y = 4 * b.y; y < 4 * (b.y + b.height); ++y)
            std::fill_n(picture.rgb.begin() + (y * 64 + 4 * b.x) * 3, 4 * b.side * 3, b.black ? 0 : 255);
    uint8_t values[kPatternFileValues];
    makePatternValues(picture, values);
    return savePatternFile(path.c_str(), values) == 0;
}

// The drawn marker's corners in ideal coordinates, (x, y) x 4.
std::vector<double> idealCorners(const CameraIntrinsics& cam, int left, int top, int side) {
    std::vector<double> corners;
    for (const auto& [x, y] : {std::pair{left, top}, {left + side, top}, {left + side, top + side}, {left, top + side}}) {
        double ix = 0.0, iy = 0.0;
        observedToIdeal(cam.distortion, x, y, &ix, &iy);
        corners.insert(corners.end(), {ix, iy});
    }
    return corners;
}

bool redNear(const Screenshot& shot, const WindowGeometry& g, double x, double y) {
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            int u = static_cast<int>(std::lround(x)) + dx, v = static_cast<int>(std::lround(y)) + dy;
            if (u < 0 || v < 0 || u >= g.width || v >= g.height) continue;
            const uint8_t* p = shot.pixel(g.x + u, g.y + v);
            if (p[0] > 180 && p[1] < 80 && p[2] < 80) return true;
        }
    return false;
}

// Points along the four sides of the marker where the debug outline is drawn.
int outlinePointsShown(const Screenshot& shot, const WindowGeometry& g, const std::vector<double>& c) {
    int shown = 0;
    for (int k = 0; k < 4; ++k)
        for (int i = 1; i <= 5; ++i) {
            double t = i / 6.0;
            double x = c[2 * k] + t * (c[2 * ((k + 1) % 4)] - c[2 * k]);
            double y = c[2 * k + 1] + t * (c[2 * ((k + 1) % 4) + 1] - c[2 * k + 1]);
            shown += redNear(shot, g, x, y);
        }
    return shown;
}

TEST(LiveCamera, HdTestSourceIsShownAndTrackedInTheGame) {
    std::string missing;
    if (!toolsAvailable(&missing)) GTEST_SKIP() << missing << " is not installed";
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    CameraIntrinsics cam = makeWebcamIntrinsics(kWidth, kHeight);
    ASSERT_EQ(saveCameraParams(dir.file("hd.dat").c_str(), &cam, 1), 0);
    const int left = 520, top = 240, unit = 15;
    const std::vector<double> corners = idealCorners(cam, left, top, 16 * unit);
    ASSERT_TRUE(writeDrawnMarkerPattern(dir.file("drawn.patt")));
    ASSERT_TRUE(writeScene(dir.file("Scene.txt"), dir.file("hd.dat"), dir.file("drawn.patt")));
    const std::string source = "lavfi:" + drawnMarkerGraph(left, top, unit);

    XSession x;
    ASSERT_TRUE(x.startServer());
    ASSERT_TRUE(x.startProgram(ROVANTA_GAME_PATH, kDemoDir,
                               {"-debug", "-s", dir.file("Scene.txt"), "--camera-device", source, "--camera-size",
                                "1280x720"},
                               dir.file("game.log")));
    ASSERT_TRUE(x.findWindow("Rovanta v0.0.0.1", 30.0)) << readFile(dir.file("game.log"));
    const WindowGeometry g = x.geometry();
    EXPECT_EQ(g.width, kWidth);
    EXPECT_EQ(g.height, kHeight);
    ASSERT_TRUE(x.key("r"));
    int shown = 0;
    for (int attempt = 0; attempt < 20 && shown < 18; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        Screenshot shot;
        ASSERT_TRUE(x.screenshot(&shot));
        shown = outlinePointsShown(shot, g, corners);
    }
    EXPECT_GE(shown, 18) << "of 20 points on the marker's sides the outline covers";
    ASSERT_TRUE(x.key("Escape"));
    EXPECT_EQ(x.waitForExit(20.0), 0);
    const std::string log = readFile(dir.file("game.log"));
    EXPECT_NE(log.find("Image size (x,y) = (1280,720)"), std::string::npos) << log;
    EXPECT_EQ(log.find("measured at"), std::string::npos) << "a camera file of the frames' shape: " << log;
}

// Mean difference (0-255) between the window and the title image.
double differenceFromTitle(const Screenshot& shot, const WindowGeometry& g) {
    unsigned char* title = loadScreenImage((kDemoDir + "/Data/main.bmp").c_str());
    if (!title || screenImageWidth < g.width || screenImageHeight < g.height) return -1;
    double sum = 0;
    for (int v = 0; v < g.height; ++v)
        for (int u = 0; u < g.width; ++u) {
            const uint8_t* p = shot.pixel(g.x + u, g.y + v);
            const unsigned char* q = title + (static_cast<size_t>(g.height - 1 - v) * screenImageWidth + u) * 3;
            sum += std::abs(p[0] - q[2]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[0]);
        }
    freeScreenImage(title);
    return sum / (3.0 * g.width * g.height);
}

// "rovanta --demo --live": the demo track through the camera, with a typical
// lens said in one line, or with the camera file given.
TEST(LiveCamera, DemoTrackRacesThroughTheCamera) {
    std::string missing;
    if (!toolsAvailable(&missing)) GTEST_SKIP() << missing << " is not installed";
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string source = "lavfi:testsrc2=size=640x480:rate=30";
    const std::string lensLine = "a typical webcam lens, 60 degrees across, for 640x480 frames";
    {
        XSession x;
        ASSERT_TRUE(x.startServer());
        ASSERT_TRUE(x.startProgram(ROVANTA_GAME_PATH, dir.path(), {"--demo", "--live", "--camera-device", source},
                                   dir.file("game.log")));
        ASSERT_TRUE(x.findWindow("Rovanta v0.0.0.1", 30.0)) << readFile(dir.file("game.log"));
        const WindowGeometry g = x.geometry();
        ASSERT_TRUE(x.key("r"));
        std::this_thread::sleep_for(std::chrono::seconds(2));
        Screenshot shot;
        ASSERT_TRUE(x.screenshot(&shot));
        EXPECT_GT(differenceFromTitle(shot, g), 30.0) << "the race did not start on the camera's picture";
        ASSERT_TRUE(x.key("Escape"));
        EXPECT_EQ(x.waitForExit(20.0), 0);
        const std::string log = readFile(dir.file("game.log"));
        EXPECT_NE(log.find(lensLine), std::string::npos) << log;
    }
    std::filesystem::copy_file(kDemoDir + "/camera/camera_para.dat", dir.file("mine.dat"));
    XSession x;
    ASSERT_TRUE(x.startServer());
    ASSERT_TRUE(x.startProgram(ROVANTA_GAME_PATH, dir.path(),
                               {"--demo", "--live", "--camera-device", source, "--camera-file", "mine.dat"},
                               dir.file("game.log")));
    ASSERT_TRUE(x.findWindow("Rovanta v0.0.0.1", 30.0)) << readFile(dir.file("game.log"));
    ASSERT_TRUE(x.key("Escape"));
    EXPECT_EQ(x.waitForExit(20.0), 0);
    const std::string log = readFile(dir.file("game.log"));
    EXPECT_EQ(log.find(lensLine), std::string::npos) << log;
    EXPECT_NE(log.find("660.00000"), std::string::npos) << "not the given camera file's focal length: " << log;
}

TEST(LiveCamera, UnknownCameraEndsStartUpNamingTheCamerasThereAre) {
    std::string missing;
    if (!toolsAvailable(&missing)) GTEST_SKIP() << missing << " is not installed";
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    ASSERT_TRUE(writeScene(dir.file("Scene.txt"), "camera/camera_para.dat"));
    XSession x;
    ASSERT_TRUE(x.startServer());
    ASSERT_TRUE(x.startProgram(ROVANTA_GAME_PATH, kDemoDir,
                               {"-s", dir.file("Scene.txt"), "--camera-device", "/nonexistent/video7"},
                               dir.file("game.log")));
    EXPECT_EQ(x.waitForExit(30.0), 1);
    const std::string log = readFile(dir.file("game.log"));
    EXPECT_NE(log.find("/nonexistent/video7"), std::string::npos) << log;
    EXPECT_NE(log.find("camera"), std::string::npos) << log;
    EXPECT_NE(log.find("rovanta: cannot open the video source"), std::string::npos) << log;
}

}  // namespace
