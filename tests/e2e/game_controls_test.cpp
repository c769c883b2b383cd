// The game under a private X server, on the demo and scenes made from it: the
// detection threshold keys, the pace of the race, and what start-up says
// about a video it cannot open.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/scratch_dir.h"
#include "render/bmp.h"
#include "world/race_rules.h"
#include "world/race_setup.h"
#include "world/scene_check.h"
#include "world/scene_loader.h"
#include "world/world_step.h"
#include "x_session.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kDemoDir = ROVANTA_DEMO_DIR;
constexpr int kStartThreshold = 100;

void sleepSeconds(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A scene folder beside the demo's: its files linked, the scene text given.
std::string sceneFolder(const std::string& sceneText) {
    const std::string dir = testScratchDir();
    for (const char* sub : {"Data", "models", "textures", "camera", "marker"})
        fs::create_directory_symlink(kDemoDir + "/" + sub, dir + sub);
    fs::create_symlink(kDemoDir + "/mat.txt", dir + "mat.txt");
    std::ofstream(dir + "Scene.txt") << sceneText;
    return dir;
}

// The demo scene with its VIDEO value, or everything from its route on, replaced.
std::string demoSceneWith(const std::string& video, const std::string& route = "") {
    std::string scene = readText(kDemoDir + "/Scene.txt");
    const size_t videoAt = scene.find("VIDEO ");
    scene.replace(videoAt, scene.find('\n', videoAt) - videoAt, "VIDEO " + video);
    if (!route.empty()) scene = scene.substr(0, scene.find("ROUTE ")) + route;
    return scene;
}

// The detection threshold the game printed last (it does in debug mode), or -1.
int lastThresholdPrinted(const XSession& x) {
    const std::string log = readText(x.programLog());
    const std::string label = "Detection threshold ";
    const size_t at = log.rfind(label);
    return at == std::string::npos ? -1 : std::atoi(log.c_str() + at + label.size());
}

// Waits (a busy machine may be slow to take the keys) until the threshold is `wanted`.
int thresholdAfterKeys(const XSession& x, int wanted) {
    const auto start = Clock::now();
    while (lastThresholdPrinted(x) != wanted && secondsSince(start) < 5.0) sleepSeconds(0.1);
    return lastThresholdPrinted(x);
}

// Mean difference (0-255) between the window and the part of a screen image
// it shows (drawn from its bottom-left corner).
double differenceFromScreenImage(const XSession& x, const WindowGeometry& g, const std::string& path) {
    Screenshot shot;
    unsigned char* image = loadScreenImage(path.c_str());
    if (!image || !x.screenshot(&shot) || screenImageWidth < g.width || screenImageHeight < g.height) {
        freeScreenImage(image);
        return 1e9;
    }
    double sum = 0;
    for (int v = 0; v < g.height; ++v)
        for (int u = 0; u < g.width; ++u) {
            const uint8_t* p = shot.pixel(g.x + u, g.y + v);
            const unsigned char* q = image + (static_cast<size_t>(g.height - 1 - v) * screenImageWidth + u) * 3;
            sum += std::abs(p[0] - q[2]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[0]);
        }
    freeScreenImage(image);
    return sum / (3.0 * g.width * g.height);
}

// A 320 x 240 clip of the demo's mat, seen as in the demo video.
std::string renderClip(const std::string& dir, const std::string& name, int fps, double seconds) {
    const std::string command = std::string(ROVANTA_DEMOVIDEO_PATH) + " --camera " + kDemoDir +
                                "/camera/camera_para.dat --markers " + kDemoDir + "/marker --out " +
                                dir + name + " --poses " + dir + name + ".txt --size 320x240 --fps " +
                                std::to_string(fps) + " --seconds " + std::to_string(seconds) + " 2>/dev/null";
    return std::system(command.c_str()) == 0 ? dir + name : "";
}

std::string repeatedKey(const std::string& name, int times) {
    std::string keys;
    for (int i = 0; i < times; ++i) keys += name + " ";
    return keys;
}

class Game : public ::testing::Test {
protected:
    void SetUp() override {
        std::string missing;
        if (!toolsAvailable(&missing)) GTEST_SKIP() << missing << " is not installed";
        ASSERT_TRUE(x.startServer());
    }

    // Starts the game in `dir` and leaves the title for the race.
    void startRace(const std::string& dir, const std::vector<std::string>& environment = {},
                   const std::vector<std::string>& args = {}) {
        ASSERT_TRUE(x.startProgram(ROVANTA_GAME_PATH, dir, args, "", environment));
        ASSERT_TRUE(x.findWindow("Rovanta v0.0.0.1", 20.0)) << readText(x.programLog());
        sleepSeconds(0.5);
        g = x.geometry();
        ASSERT_TRUE(x.key("r"));
        sleepSeconds(1.0);
    }

    XSession x;
    WindowGeometry g;
};

// Each press of + and - counts, also sixty of them 5 ms apart, and a held key
// repeats.
TEST_F(Game, PlusAndMinusActOnEveryPressAndRepeatWhileHeld) {
    ASSERT_NO_FATAL_FAILURE(startRace(kDemoDir, {}, {"-debug"}));
    constexpr int kPresses = 60;
    ASSERT_TRUE(x.key("--delay 5 " + repeatedKey("plus", kPresses)));
    EXPECT_EQ(thresholdAfterKeys(x, kStartThreshold + kPresses), kStartThreshold + kPresses);
    ASSERT_TRUE(x.key("--delay 5 " + repeatedKey("minus", kPresses)));
    EXPECT_EQ(thresholdAfterKeys(x, kStartThreshold), kStartThreshold);

    ASSERT_TRUE(x.keyDown("plus"));
    sleepSeconds(2.0);
    ASSERT_TRUE(x.keyUp("plus"));
    sleepSeconds(0.5);
    EXPECT_GE(lastThresholdPrinted(x), kStartThreshold + 10) << "holding + did not repeat";

    ASSERT_TRUE(x.key("Escape"));
    EXPECT_EQ(x.waitForExit(10.0), 0);
}

// A three-point route the opponent laps in about half a second: the race is
// lost after the number of steps the headless race takes, at 60 a second,
// though a small window without vertical sync draws far more frames.
TEST_F(Game, TheRaceRunsAtSixtyStepsASecond) {
    const std::string route =
        "ROUTE 3\nROUTE-POINT 0\nPOSITION 100 0 0\nSPEED 4\nROUTE-POINT 1\nPOSITION 100 40 0\nSPEED 4\n"
        "ROUTE-POINT 2\nPOSITION 60 20 0\nSPEED 4\n";
    const std::string dir = sceneFolder(demoSceneWith("small.avi", route));
    ASSERT_NE(renderClip(dir, "small.avi", 30, 2.0), "");
    World world;
    std::string reason;
    ASSERT_TRUE(loadRaceScene(world, dir + "Scene.txt", [](Car&, const char*) {}, reason)) << reason;
    placeCarsForRace(world);
    KeyTable up;
    setKeyHeld(up, kKeyUp, true);
    int steps = 1;
    stepWorld(world, up, 0);
    for (; raceStateOf(world) == RaceState::Race && steps < 10000; ++steps) stepWorld(world, KeyTable{}, 0);
    ASSERT_EQ(raceStateOf(world), RaceState::Lost);
    const double expected = steps / 60.0;

    ASSERT_NO_FATAL_FAILURE(startRace(dir, {"vblank_mode=0"}));
    const std::string loseImage = kDemoDir + "/Data/main_lose.bmp";
    ASSERT_GT(differenceFromScreenImage(x, g, loseImage), 10.0);
    ASSERT_TRUE(x.keyDown("Up"));
    const auto start = Clock::now();
    sleepSeconds(0.1);
    ASSERT_TRUE(x.keyUp("Up"));
    double lostAfter = -1;
    while (lostAfter < 0 && secondsSince(start) < 2 * expected + 5)
        if (differenceFromScreenImage(x, g, loseImage) < 2.0) lostAfter = secondsSince(start);
    EXPECT_GT(lostAfter, 0.75 * expected) << steps << " steps took " << lostAfter << " s, not about " << expected;
    EXPECT_LT(lostAfter, 1.5 * expected + 1.0) << steps << " steps took " << lostAfter << " s, not about " << expected;
    ASSERT_TRUE(x.key("Escape"));
    EXPECT_EQ(x.waitForExit(10.0), 0);
}

TEST_F(Game, StartUpNamesTheSceneLineOfAVideoItCannotOpen) {
    const std::string dir = sceneFolder(demoSceneWith("gone&lost.avi"));
    ASSERT_TRUE(x.startProgram(ROVANTA_GAME_PATH, dir, {}));
    EXPECT_NE(x.waitForExit(20.0), 0);
    const std::string log = readText(x.programLog());
    EXPECT_NE(log.find("Scene.txt:2: VIDEO gone&lost.avi"), std::string::npos) << log;
}

// Installed under a prefix, the game started from elsewhere with --demo plays
// the installed demo, and the desktop entry starts it that way.
TEST_F(Game, InstalledGameFindsItsDemo) {
    const std::string prefix = testScratchDir() + "usr";
    const std::string install = std::string(ROVANTA_CMAKE_COMMAND) + " --install " + ROVANTA_BUILD_DIR +
                                " --prefix " + prefix + " >" + testScratchDir() + "install.log 2>&1";
    ASSERT_EQ(std::system(install.c_str()), 0) << readText(testScratchDir() + "install.log");
    for (const char* file : {"bin/rovanta", "bin/rovanta-sim", "bin/rovanta-demoscene",
                             "share/rovanta/demo/Scene.txt", "share/rovanta/demo/video/demo.avi",
                             "share/rovanta/demo/Data/main.bmp", "share/doc/rovanta/README.md"})
        EXPECT_TRUE(fs::exists(prefix + "/" + file)) << file;
    EXPECT_NE(readText(prefix + "/share/applications/rovanta.desktop").find("\nExec=rovanta --demo\n"),
              std::string::npos);

    fs::create_directory(testScratchDir() + "elsewhere");
    ASSERT_TRUE(x.startProgram(prefix + "/bin/rovanta", testScratchDir() + "elsewhere", {"--demo"}));
    ASSERT_TRUE(x.findWindow("Rovanta v0.0.0.1", 20.0)) << readText(x.programLog());
    ASSERT_TRUE(x.key("Escape"));
    EXPECT_EQ(x.waitForExit(10.0), 0);
}

}  // namespace
