// Plays the demo the way a person would: the title shows, R starts the race
// over the demo video, the cars stand where the mat's true pose puts them,
// also while the middle marker is out of the picture, UP drives, Esc quits.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/video/video.h"
#include "common/demo_geometry.h"
#include "common/demo_race.h"
#include "common/demo_poses.h"
#include "common/scratch_dir.h"
#include "render/bmp.h"
#include "tracking/camera.h"
#include "tracking/mat.h"
#include "world/world.h"
#include "x_session.h"

namespace {

const std::string kDemoDir = ROVANTA_DEMO_DIR;
constexpr int kGridStep = 16;

using Pose = DemoPose;

void sleepSeconds(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }


// Where the window shows each pixel of the frame: the background is drawn
// undistorted, so window pixel (u, v) shows the frame at the observed point.
struct SamplePoint {
    int u, v;    // window pixel, row 0 at the top
    int ox, oy;  // frame pixel shown there
};

class DemoView {
public:
    bool load(std::string* error) {
        CameraIntrinsics fileParam;
        if (loadCameraParams((kDemoDir + "/camera/camera_para.dat").c_str(), 1, &fileParam) < 0) {
            *error = "camera file";
            return false;
        }
        resizeCameraParams(&fileParam, 640, 480, &camera_);
        poses_ = readDemoPoses(kDemoDir + "/video/demo_poses.txt");
        if (poses_.empty()) {
            *error = "poses file";
            return false;
        }
        buildSamplePoints();
        return decodeSignatures(error);
    }

    // Frame whose picture the screenshot's background shows, and how far off it is (0-255).
    int matchFrame(const Screenshot& shot, int left, int top, double* meanDistance) const {
        const std::vector<uint8_t> seen = signatureOfScreenshot(shot, left, top);
        int best = -1;
        double bestDistance = 1e30;
        for (size_t f = 0; f < signatures_.size(); ++f) {
            const double d = distance(seen, signatures_[f]);
            if (d < bestDistance) {
                bestDistance = d;
                best = static_cast<int>(f);
            }
        }
        *meanDistance = bestDistance;
        return best;
    }

    // Ideal image point of a world point in frame f.
    void project(int f, const Vec3& w, double* x, double* y) const {
        const Pose& T = poses_[f];
        double c[3];
        for (int r = 0; r < 3; ++r) c[r] = T[r * 4] * w.x + T[r * 4 + 1] * w.y + T[r * 4 + 2] * w.z + T[r * 4 + 3];
        double p[3];
        for (int r = 0; r < 3; ++r)
            p[r] = camera_.projection[r][0] * c[0] + camera_.projection[r][1] * c[1] +
                   camera_.projection[r][2] * c[2] + camera_.projection[r][3];
        *x = p[0] / p[2];
        *y = p[1] / p[2];
    }

    bool decodeFrame(int f, std::vector<uint8_t>* bgrx) const {
        if (!openDemoVideo()) return false;
        for (int i = 0; i <= f; ++i) {
            unsigned char* frame = videoGetImage();
            if (!frame) break;
            if (i == f) bgrx->assign(frame, frame + 640 * 480 * 4);
        }
        videoClose();
        return !bgrx->empty();
    }

    void observed(double u, double v, int* ox, int* oy) const {
        double x = 0, y = 0;
        idealToObserved(camera_.distortion, u, v, &x, &y);
        *ox = std::clamp(static_cast<int>(std::lround(x)), 0, 639);
        *oy = std::clamp(static_cast<int>(std::lround(y)), 0, 479);
    }

    size_t frameCount() const { return signatures_.size(); }
    const Pose& pose(int f) const { return poses_[f]; }
    const CameraIntrinsics& camera() const { return camera_; }

private:
    static bool inHud(int u, int v) { return u < 200 && v < 90; }

    void buildSamplePoints() {
        for (int v = kGridStep / 2; v < 480; v += kGridStep)
            for (int u = kGridStep / 2; u < 640; u += kGridStep) {
                if (inHud(u, v)) continue;
                SamplePoint s{u, v, 0, 0};
                observed(u, v, &s.ox, &s.oy);
                points_.push_back(s);
            }
    }

    bool openDemoVideo() const {
        const std::string config =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><video_input><avi_file file_name=\"" + kDemoDir +
            "/video/demo.avi\" loop_avi=\"false\"><pixel_format><RGB32 flip_h=\"false\" "
            "flip_v=\"true\"/></pixel_format></avi_file></video_input>";
        videoSetPacing(false);
        if (videoOpen(config.c_str()) < 0) return false;
        videoCapStart();
        return true;
    }

    bool decodeSignatures(std::string* error) {
        if (!openDemoVideo()) {
            *error = "demo video";
            return false;
        }
        while (signatures_.size() < poses_.size()) {
            const unsigned char* frame = videoGetImage();
            if (!frame) break;
            std::vector<uint8_t> sig;
            for (const SamplePoint& s : points_) {
                const unsigned char* p = frame + (static_cast<size_t>(s.oy) * 640 + s.ox) * 4;
                sig.push_back(static_cast<uint8_t>((p[0] + p[1] + p[2]) / 3));
            }
            signatures_.push_back(sig);
        }
        videoClose();
        if (signatures_.size() != poses_.size()) *error = "frame count differs from the poses";
        return signatures_.size() == poses_.size();
    }

    std::vector<uint8_t> signatureOfScreenshot(const Screenshot& shot, int left, int top) const {
        std::vector<uint8_t> sig;
        for (const SamplePoint& s : points_) {
            const uint8_t* p = shot.pixel(left + s.u, top + s.v);
            sig.push_back(static_cast<uint8_t>((p[0] + p[1] + p[2]) / 3));
        }
        return sig;
    }

    // Robust: the cars cover some samples, so each sample's part is capped.
    static double distance(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
        double sum = 0;
        for (size_t i = 0; i < a.size(); ++i) sum += std::min(std::abs(a[i] - b[i]), 40);
        return sum / static_cast<double>(a.size());
    }

    CameraIntrinsics camera_{};
    std::vector<Pose> poses_;
    std::vector<SamplePoint> points_;
    std::vector<std::vector<uint8_t>> signatures_;
};

struct DiscStats {
    double differsFromVideo = 0;  // share of pixels unlike the video frame
    double reddish = 0;
    double bluish = 0;
};

DiscStats discAround(const Screenshot& shot, const WindowGeometry& g, const DemoView& view,
                     const std::vector<uint8_t>& frame, double cx, double cy, int radius) {
    DiscStats s;
    int n = 0;
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            if (dx * dx + dy * dy > radius * radius) continue;
            const int u = static_cast<int>(std::lround(cx)) + dx, v = static_cast<int>(std::lround(cy)) + dy;
            if (u < 0 || v < 0 || u >= g.width || v >= g.height) continue;
            const uint8_t* p = shot.pixel(g.x + u, g.y + v);
            int ox = 0, oy = 0;
            view.observed(u, v, &ox, &oy);
            const uint8_t* q = &frame[(static_cast<size_t>(oy) * 640 + ox) * 4];
            const int diff = std::abs(p[0] - q[2]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[0]);
            s.differsFromVideo += diff > 90;
            s.reddish += p[0] > p[1] + 50 && p[0] > p[2] + 50;
            s.bluish += p[2] > p[0] + 50 && p[2] > p[1] + 20;
            ++n;
        }
    if (n) {
        s.differsFromVideo /= n;
        s.reddish /= n;
        s.bluish /= n;
    }
    return s;
}

// HUD text is pure red.
int redTextPixels(const Screenshot& shot, const WindowGeometry& g, int top, int bottom) {
    int count = 0;
    for (int v = top; v < bottom; ++v)
        for (int u = 0; u < 200; ++u) {
            const uint8_t* p = shot.pixel(g.x + u, g.y + v);
            count += p[0] > 180 && p[1] < 70 && p[2] < 70;
        }
    return count;
}

double titleDifference(const Screenshot& shot, const WindowGeometry& g) {
    unsigned char* title = loadScreenImage((kDemoDir + "/Data/main.bmp").c_str());
    if (!title) return 1e9;
    double sum = 0;
    for (int v = 0; v < g.height; ++v)
        for (int u = 0; u < g.width; ++u) {
            const uint8_t* p = shot.pixel(g.x + u, g.y + v);
            const unsigned char* q = title + (static_cast<size_t>(g.height - 1 - v) * g.width + u) * 3;
            sum += std::abs(p[0] - q[2]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[0]);
        }
    freeScreenImage(title);
    return sum / (3.0 * g.width * g.height);
}

// Pixels of the "Speed" line (drawn 40 pixels below the top) that changed between two screenshots.
int speedLineDifference(const Screenshot& a, const Screenshot& b, const WindowGeometry& g) {
    int changed = 0;
    for (int v = 26; v < 43; ++v)
        for (int u = 0; u < 200; ++u) {
            const uint8_t* p = a.pixel(g.x + u, g.y + v);
            const uint8_t* q = b.pixel(g.x + u, g.y + v);
            changed += (p[0] > 180 && p[1] < 70) != (q[0] > 180 && q[1] < 70);
        }
    return changed;
}

Vec3 carCentre(const Car& car) { return Vec3(car.position.x, car.position.y, car.position.z + car.scale.z / 2); }

enum class Sight { Open, Hidden, Partly };

// Whether the true pose shows the opponent in the open (with the player too),
// or wholly behind an object with a margin that covers the tracker's small
// pose errors.
Sight opponentSight(const DemoView& view, const World& world, int f) {
    int behind = 0, corners = 0;
    for (const Vec3& c : carCorners(world.opponent, -0.3)) {
        ++corners;
        behind += hiddenByBoxes(world.boxes, view.pose(f), c);
    }
    if (behind == corners) return Sight::Hidden;
    if (behind > 0) return Sight::Partly;
    for (const Vec3& c : carCorners(world.player, -0.3))
        if (hiddenByBoxes(world.boxes, view.pose(f), c)) return Sight::Partly;
    for (const Car* car : {&world.player, &world.opponent}) {
        double x = 0, y = 0;
        view.project(f, carCentre(*car), &x, &y);
        if (x < 20 || y < 20 || x > 620 || y > 460) return Sight::Partly;
    }
    return Sight::Open;
}

// Whether the true pose shows all of the mat's middle marker, clear of the
// picture's edge; without it the world can only come from the other markers.
bool middleMarkerInView(const DemoView& view, const MatMarker& middle, int f) {
    const double h = middle.width / 2;
    for (double sx : {-1.0, 1.0})
        for (double sy : {-1.0, 1.0}) {
            double x = 0, y = 0, ox = 0, oy = 0;
            view.project(f, Vec3(middle.centre[0] + sx * h, middle.centre[1] + sy * h, 0), &x, &y);
            idealToObserved(view.camera().distortion, x, y, &ox, &oy);
            if (ox < 0 || oy < 0 || ox >= 640 || oy >= 480) return false;
        }
    return true;
}

struct ShotCheck {
    bool found = false;
    int frame = -1;
    DiscStats opponent;
    // The cars' bodies: a model is not in its colour at its centre point (seen from ahead, that is
    // the windscreen), where a pose accurate to a fraction of a pixel puts a small disc.
    DiscStats playerBody, opponentBody;
};

ShotCheck checkShot(const Screenshot& shot, const WindowGeometry& g, const DemoView& view, const World& world, int f) {
    ShotCheck check;
    std::vector<uint8_t> video;
    if (!view.decodeFrame(f, &video)) return check;
    check.found = true;
    check.frame = f;
    double px = 0, py = 0;
    view.project(f, carCentre(world.player), &px, &py);
    check.playerBody = discAround(shot, g, view, video, px, py, 6);
    view.project(f, carCentre(world.opponent), &px, &py);
    check.opponent = discAround(shot, g, view, video, px, py, 3);
    check.opponentBody = discAround(shot, g, view, video, px, py, 6);
    return check;
}

void savePng(const Screenshot& shot, const WindowGeometry& g, const std::string& path) {
    const std::string ppm = path + ".ppm";
    std::ofstream out(ppm, std::ios::binary);
    out << "P6\n" << g.width << " " << g.height << "\n255\n";
    for (int v = 0; v < g.height; ++v)
        out.write(reinterpret_cast<const char*>(shot.pixel(g.x, g.y + v)), g.width * 3);
    out.close();
    std::system(("convert " + ppm + " " + path + " && rm -f " + ppm).c_str());
}

TEST(DemoRace, PlaysLikeAPersonWouldSeeIt) {
    std::string missing;
    if (!toolsAvailable(&missing)) GTEST_SKIP() << missing << " is not installed";

    World world;
    std::string reason;
    ASSERT_TRUE(loadDemoRace(world, kDemoDir, reason)) << reason;
    DemoView view;
    std::string error;
    ASSERT_TRUE(view.load(&error)) << error;

    XSession x;
    ASSERT_TRUE(x.startServer());
    ASSERT_TRUE(x.startProgram(ROVANTA_GAME_PATH, kDemoDir, {}));
    ASSERT_TRUE(x.findWindow("Rovanta v0.0.0.1", 20.0)) << "no game window; see " << x.programLog();
    sleepSeconds(1.0);
    const WindowGeometry g = x.geometry();
    ASSERT_EQ(g.width, 640);
    ASSERT_EQ(g.height, 480);
    EXPECT_EQ(g.x, (1280 - 640) / 2);
    EXPECT_EQ(g.y, (1024 - 480) / 2);

    Screenshot title;
    ASSERT_TRUE(x.screenshot(&title));
    EXPECT_LT(titleDifference(title, g), 2.0) << "the title image is not on screen";

    ASSERT_TRUE(x.key("r"));
    sleepSeconds(2.0);
    Screenshot race;
    ASSERT_TRUE(x.screenshot(&race));
    savePng(race, g, scratchPath("race.png"));
    double match = 0;
    const int frame = view.matchFrame(race, g.x, g.y, &match);
    ASSERT_GE(frame, 0);
    EXPECT_LT(match, 10.0) << "the background does not show a frame of the demo video";
    EXPECT_GT(redTextPixels(race, g, 0, 75), 150) << "no red HUD text top-left";

    // The video plays while the race waits for the first UP, so the cars stand
    // still: watch it until the opponent has been seen in the open (with the
    // mat's middle marker in view, and without it) and behind an object, and
    // check what is on screen at its place each time.
    Mat mat;
    ASSERT_TRUE(readMatFile((kDemoDir + "/" + world.patternPath).c_str(), &mat, &reason)) << reason;
    ShotCheck open, openWithoutMiddle, hidden;
    for (int attempt = 0; attempt < 600 && !(open.found && openWithoutMiddle.found && hidden.found); ++attempt) {
        Screenshot shot;
        ASSERT_TRUE(x.screenshot(&shot));
        const int f = view.matchFrame(shot, g.x, g.y, &match);
        if (f < 0 || match >= 10.0) continue;
        const Sight sight = opponentSight(view, world, f);
        ShotCheck& slot = sight == Sight::Hidden                         ? hidden
                          : middleMarkerInView(view, mat.markers[0], f) ? open
                                                                         : openWithoutMiddle;
        if (sight == Sight::Partly || slot.found) continue;
        slot = checkShot(shot, g, view, world, f);
        if (&slot == &openWithoutMiddle) savePng(shot, g, scratchPath("without-middle-marker.png"));
    }
    for (const ShotCheck* c : {&open, &openWithoutMiddle}) {
        const char* when = c == &open ? "with the middle marker in view" : "without the middle marker";
        ASSERT_TRUE(c->found) << "no frame showed both cars in the open " << when;
        EXPECT_GT(c->playerBody.differsFromVideo, 0.6) << "no car drawn at the player's place, frame " << c->frame;
        EXPECT_GT(c->playerBody.reddish, 0.2) << "the player's red car is not at its place, frame " << c->frame;
        EXPECT_GT(c->opponentBody.differsFromVideo, 0.6) << "no car drawn at the opponent's place, frame " << c->frame;
        EXPECT_GT(c->opponentBody.bluish, 0.2) << "the opponent's blue car is not at its place, frame " << c->frame;
    }
    std::printf("cars checked on screen in frame %d (middle marker in view), frame %d (out of view), opponent hidden "
                "in frame %d\n", open.frame, openWithoutMiddle.frame, hidden.frame);
    ASSERT_TRUE(hidden.found) << "no frame put the opponent behind an object";
    EXPECT_LT(hidden.opponent.differsFromVideo, 0.1) << "the object does not hide the opponent, frame " << hidden.frame;
    EXPECT_LT(hidden.opponent.bluish, 0.05) << "the opponent shows through the object, frame " << hidden.frame;
    double px = 0, py = 0;
    std::vector<uint8_t> video;

    // The car may reach a wall and stop dead quickly: look several times.
    ASSERT_TRUE(x.keyDown("Up"));
    const auto pressed = std::chrono::steady_clock::now();
    Screenshot driving;
    int changed = 0;
    for (int attempt = 0; attempt < 8 && changed <= 10; ++attempt) {
        ASSERT_TRUE(x.screenshot(&driving));
        changed = speedLineDifference(race, driving, g);
    }
    // Held for at least a second, so even at 60 steps a second the car clears its start.
    std::this_thread::sleep_until(pressed + std::chrono::seconds(1));
    ASSERT_TRUE(x.keyUp("Up"));
    savePng(driving, g, scratchPath("driving.png"));
    EXPECT_GT(changed, 10) << "the speed line did not change while UP was held";
    sleepSeconds(0.5);
    ASSERT_TRUE(x.screenshot(&driving));
    const int drivingFrame = view.matchFrame(driving, g.x, g.y, &match);
    ASSERT_TRUE(view.decodeFrame(drivingFrame, &video));
    view.project(drivingFrame, carCentre(world.player), &px, &py);
    const DiscStats start = discAround(driving, g, view, video, px, py, 3);
    EXPECT_LT(start.reddish, 0.1) << "the player's car is still at its start";

    ASSERT_TRUE(x.key("Escape"));
    EXPECT_EQ(x.waitForExit(10.0), 0);
}

}  // namespace
