// Building the scene at the table, as a person would, on a copy of the demo
// folder whose video is one frame of the demo video: in debug mode, a wall
// made (W) and taken back (Backspace), then four clicks on the table in front
// of the player's car, O, Page Up until the box is as tall as it must be, S. The scene file then holds the box, the old file
// is kept beside it, rovanta-sim loads the new one, and the box hides the car.
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

#include "common/demo_geometry.h"
#include "common/demo_race.h"
#include "app/video/video.h"
#include "common/scratch_dir.h"
#include "world/race_setup.h"
#include "world/scene_check.h"
#include "world/scene_edit.h"
#include "tools/videoenc/videoenc.h"
#include "x_session.h"

namespace {

namespace fs = std::filesystem;
const std::string kDemoDir = ROVANTA_DEMO_DIR;

void sleepSeconds(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct TrueView {
    CameraIntrinsics camera{};
    DemoPose pose{};

    // The window shows the frame undistorted: its pixels are ideal image points.
    bool pixelOf(const Vec3& p, int* u, int* v, int margin = 0) const {
        double x = 0, y = 0;
        if (!projectDemoPoint(camera, pose, p, &x, &y)) return false;
        *u = static_cast<int>(std::lround(x));
        *v = static_cast<int>(std::lround(y));
        return *u >= margin && *v >= margin && *u < 640 - margin && *v < 480 - margin;
    }
    // Every corner of the car behind the boxes, or (`hidden` false) none.
    bool sees(const std::vector<Box>& boxes, const Car& car, bool hidden) const {
        for (const Vec3& corner : carCorners(car, -0.2))
            if (hiddenByBoxes(boxes, pose, corner) != hidden) return false;
        int u = 0, v = 0;
        return hidden || pixelOf(car.position, &u, &v, 20);
    }
};

// A square footprint on the table between the car and the camera, and the
// height that hides the whole car behind it.
Box boxInFrontOf(const Car& car, const TrueView& view) {
    const Vec3 eye = demoCameraCentre(view.pose);
    const double dx = eye.x - car.position.x, dy = eye.y - car.position.y, d = std::hypot(dx, dy);
    Box box;
    box.centre = Vec3{car.position.x + 45 * dx / d, car.position.y + 45 * dy / d, 0};
    box.size = Vec3{44, 44, 0};
    for (double h = kOccluderHeight; h <= 300; h += kHeightStep) {
        box.size.z = h;
        box.centre.z = h / 2;
        if (view.sees({box}, car, true)) return box;
    }
    return Box{};
}

std::vector<Vec3> footprintCorners(const Box& box) {
    std::vector<Vec3> corners;
    for (double sx : {-0.5, 0.5})
        for (double sy : {-0.5, 0.5})
            corners.push_back({box.centre.x + sx * box.size.x, box.centre.y + sy * box.size.y, 0});
    return corners;
}

// The first frame of the demo video that shows the car whole, with room in
// view for a box in front of it, and that box.
bool chooseFrame(const World& world, const std::vector<DemoPose>& poses, TrueView& view, Box& box, int& frame) {
    for (frame = 0; frame < static_cast<int>(poses.size()); ++frame) {
        view.pose = poses[frame];
        if (!view.sees(world.boxes, world.player, false)) continue;
        box = boxInFrontOf(world.player, view);
        bool inView = box.size.z > 0;
        int u = 0, v = 0;
        for (const Vec3& corner : footprintCorners(box)) inView = inView && view.pixelOf(corner, &u, &v, 10);
        if (inView) return true;
    }
    return false;
}

// That frame alone as a video, so that every click lands where its true pose says.
bool writeStillVideo(const std::string& demoVideo, int frame, const std::string& out) {
    const std::string config = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><video_input><avi_file file_name=\"" +
                               demoVideo + "\" loop_avi=\"false\"><pixel_format><RGB32 flip_h=\"false\" "
                               "flip_v=\"true\"/></pixel_format></avi_file></video_input>";
    videoSetPacing(false);
    if (videoOpen(config.c_str()) < 0) return false;
    videoCapStart();
    const unsigned char* picture = nullptr;
    for (int i = 0; i <= frame; ++i) picture = videoGetImage();
    std::string error;
    VideoEncoder* encoder = picture ? videoEncoderCreate(out, {640, 480, 30, 95}, &error) : nullptr;
    const bool written =
        encoder && videoEncoderAddFrame(encoder, picture, &error) == 0 && videoEncoderFinish(encoder, &error) == 0;
    videoClose();
    return written;
}

// A copy of the demo folder (its scene copied, the rest linked) with that video.
std::string demoCopy(const std::string& video) {
    const std::string dir = testScratchDir() + "table/";
    fs::create_directories(dir + "video");
    for (const fs::directory_entry& entry : fs::directory_iterator(kDemoDir)) {
        const std::string name = entry.path().filename().string();
        if (name != "Scene.txt" && name != "video") fs::create_symlink(entry.path(), dir + name);
    }
    fs::copy_file(kDemoDir + "/Scene.txt", dir + "Scene.txt");
    fs::rename(video, dir + "video/demo.avi");
    return dir;
}

struct Share {
    double reddish = 0, bluish = 0;
};

Share coloursAround(const Screenshot& shot, const WindowGeometry& g, const TrueView& view, const Car& car) {
    Share s;
    int u0 = 0, v0 = 0, n = 0;
    if (!view.pixelOf(Vec3{car.position.x, car.position.y, car.scale.z / 2}, &u0, &v0)) return s;
    for (int dv = -4; dv <= 4; ++dv)
        for (int du = -4; du <= 4; ++du) {
            const uint8_t* p = shot.pixel(g.x + u0 + du, g.y + v0 + dv);
            s.reddish += p[0] > p[1] + 50 && p[0] > p[2] + 50;
            s.bluish += p[2] > p[0] + 50 && p[2] > p[1] + 20;
            ++n;
        }
    s.reddish /= n;
    s.bluish /= n;
    return s;
}

TEST(SceneEditing, ABoxMadeAtTheTableIsSavedAndHidesTheCar) {
    std::string missing;
    if (!toolsAvailable(&missing)) GTEST_SKIP() << missing << " is not installed";
    World world;
    std::string reason;
    ASSERT_TRUE(loadDemoRace(world, kDemoDir, reason)) << reason;
    TrueView view;
    CameraIntrinsics file;
    ASSERT_EQ(loadCameraParams((kDemoDir + "/" + world.cameraParamPath).c_str(), 1, &file), 0);
    ASSERT_EQ(resizeCameraParams(&file, 640, 480, &view.camera), 0);
    Box wanted;
    int frame = -1;
    ASSERT_TRUE(chooseFrame(world, readDemoPoses(kDemoDir + "/video/demo_poses.txt"), view, wanted, frame))
        << "no frame of the demo video shows the car with room for a box in front of it";
    ASSERT_TRUE(writeStillVideo(kDemoDir + "/video/demo.avi", frame, scratchPath("still.avi")));
    const std::string dir = demoCopy(scratchPath("still.avi"));
    const std::string original = readText(dir + "Scene.txt");
    const int raises = static_cast<int>(std::lround((wanted.size.z - kOccluderHeight) / kHeightStep));

    XSession x;
    ASSERT_TRUE(x.startServer());
    ASSERT_TRUE(x.startProgram(ROVANTA_GAME_PATH, dir, {"-debug"}));
    ASSERT_TRUE(x.findWindow("Rovanta v0.0.0.1", 20.0)) << readText(x.programLog());
    const WindowGeometry g = x.geometry();
    ASSERT_TRUE(x.key("r"));
    ASSERT_TRUE(x.key("p"));  // the race view without debug aids, to see the car
    sleepSeconds(2.0);
    Screenshot before;
    ASSERT_TRUE(x.screenshot(&before));
    EXPECT_GT(coloursAround(before, g, view, world.player).reddish, 0.3) << "the car is not in view to be hidden";

    ASSERT_TRUE(x.key("p"));
    const std::vector<Vec3> corners = footprintCorners(wanted);
    for (const Vec3& corner : {corners[0], corners[3]}) {  // a wall, taken back
        int u = 0, v = 0;
        ASSERT_TRUE(view.pixelOf(corner, &u, &v));
        ASSERT_TRUE(x.click(u, v));
    }
    ASSERT_TRUE(x.key("w"));
    ASSERT_TRUE(x.key("BackSpace"));
    for (const Vec3& corner : corners) {
        int u = 0, v = 0;
        ASSERT_TRUE(view.pixelOf(corner, &u, &v));
        ASSERT_TRUE(x.click(u, v));
    }
    ASSERT_TRUE(x.key("o"));
    for (int i = 0; i < raises; ++i) ASSERT_TRUE(x.key("Prior"));
    ASSERT_TRUE(x.key("s"));
    ASSERT_TRUE(x.key("p"));  // the race view without debug aids
    sleepSeconds(1.0);
    Screenshot after;
    ASSERT_TRUE(x.screenshot(&after));
    ASSERT_TRUE(x.key("Escape"));
    EXPECT_EQ(x.waitForExit(10.0), 0);
    const std::string log = readText(x.programLog());
    EXPECT_NE(log.find("Scene saved to Scene.txt"), std::string::npos) << log;

    // The file: one box more, everything else as it was; the old file kept.
    EXPECT_EQ(readText(dir + "Scene.txt.bak"), original);
    World saved;
    ASSERT_TRUE(loadRaceScene(saved, dir + "Scene.txt", [](Car&, const char*) {}, reason)) << reason;
    ASSERT_EQ(saved.boxes.size(), world.boxes.size() + 1) << readText(dir + "Scene.txt");
    const Box made = saved.boxes.back();
    for (auto [got, want] : {std::pair{made.centre.x, wanted.centre.x}, {made.centre.y, wanted.centre.y},
                             {made.size.x, wanted.size.x}, {made.size.y, wanted.size.y}})
        EXPECT_NEAR(got, want, 5.0) << "the box is not where the clicks were";
    EXPECT_EQ(made.size.z, wanted.size.z) << log;
    EXPECT_EQ(saved.collisionBoxes.size(), world.collisionBoxes.size()) << log;
    EXPECT_NE(log.find("Removed Collision box"), std::string::npos) << log;
    const std::string sim = std::string(ROVANTA_SIM_PATH) + " -s " + dir + "Scene.txt --steps 1 >/dev/null";
    EXPECT_EQ(std::system(sim.c_str()), 0) << "rovanta-sim does not load the written scene";

    // The box hides the car, which the true pose puts behind it, and the opponent is still drawn.
    placeCarsForRace(saved);
    EXPECT_TRUE(view.sees({made}, saved.player, true));
    EXPECT_LT(coloursAround(after, g, view, saved.player).reddish, 0.05) << "the car shows through the box";
    if (view.sees(saved.boxes, saved.opponent, false)) {
        EXPECT_GT(coloursAround(after, g, view, saved.opponent).bluish, 0.2) << "the opponent is not drawn";
    }
}

}  // namespace
