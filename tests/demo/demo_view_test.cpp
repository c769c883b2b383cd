// What the demo video shows of the demo scene, from the true poses beside
// it: the marker large and never covered, every part of the track at some
// moment, the opponent's route passing behind an object, a seamless loop; and
// a real object on the table wherever the scene puts an occluder box.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/video/video.h"
#include "common/demo_geometry.h"
#include "common/demo_poses.h"
#include "world/race_setup.h"
#include "world/scene_check.h"
#include "world/scene_loader.h"

namespace {

const std::string kDemoDir = ROVANTA_DEMO_DIR;
constexpr int kWidth = 640, kHeight = 480;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

class DemoView : public ::testing::Test {
protected:
    void SetUp() override {
        std::string reason;
        ASSERT_TRUE(loadRaceScene(world, kDemoDir + "/Scene.txt", [](Car&, const char*) {}, reason)) << reason;
        placeCarsForRace(world);
        poses = readDemoPoses(kDemoDir + "/video/demo_poses.txt");
        ASSERT_GT(poses.size(), 100u);
        CameraIntrinsics fileParam;
        ASSERT_EQ(loadCameraParams((kDemoDir + "/camera/camera_para.dat").c_str(), 1, &fileParam), 0);
        ASSERT_EQ(resizeCameraParams(&fileParam, kWidth, kHeight, &camera), 0);
    }

    // On screen (ideal point inside the picture by `margin` pixels) and not behind a box.
    bool seen(const DemoPose& T, const Vec3& p, double margin) const {
        double x = 0, y = 0;
        if (!projectDemoPoint(camera, T, p, &x, &y)) return false;
        const bool inside = x >= margin && y >= margin && x < kWidth - margin && y < kHeight - margin;
        return inside && !hiddenByBoxes(world.boxes, T, p);
    }

    double projectedLength(const DemoPose& T, const Vec3& a, const Vec3& b) const {
        double ax = 0, ay = 0, bx = 0, by = 0;
        projectDemoPoint(camera, T, a, &ax, &ay);
        projectDemoPoint(camera, T, b, &bx, &by);
        return std::hypot(ax - bx, ay - by);
    }

    // The opponent's places along its route, a few units apart, heading along it.
    std::vector<Car> opponentAlongRoute(double spacing) const {
        std::vector<Car> places;
        for (size_t i = 0; i < world.route.size(); ++i) {
            const Vec3 from = world.route[i].position, to = world.route[(i + 1) % world.route.size()].position;
            const double len = length(to - from);
            Car car = world.opponent;
            car.angle = static_cast<float>(std::atan2(to.y - from.y, to.x - from.x) * 180.0 / kPi);
            for (double s = 0; s < len; s += spacing) {
                car.position = from + (to - from) * (s / len);
                places.push_back(car);
            }
        }
        return places;
    }

    // The road: along the opponent's lane every 10 units, and the middle and
    // corners of every checkpoint (which together span the road's width).
    std::vector<Vec3> trackPoints() const {
        std::vector<Vec3> points;
        for (const Car& car : opponentAlongRoute(10.0)) points.push_back(car.position);
        for (const Checkpoint& c : world.checkpoints) {
            points.push_back(c.centre);
            for (double sx : {-1.0, 1.0})
                for (double sy : {-1.0, 1.0})
                    points.push_back({c.centre.x + sx * (c.size.x / 2 - 5), c.centre.y + sy * (c.size.y / 2 - 5), 0});
        }
        return points;
    }

    World world;
    std::vector<DemoPose> poses;
    CameraIntrinsics camera{};
};

TEST_F(DemoView, MarkerIsLargeAndNeverCovered) {
    const Vec3 corners[4] = {{-40, 40, 0}, {40, 40, 0}, {40, -40, 0}, {-40, -40, 0}};
    std::vector<double> widths;
    int covered = 0;
    for (const DemoPose& T : poses) {
        double sides = 0;
        for (int k = 0; k < 4; ++k) {
            sides += projectedLength(T, corners[k], corners[(k + 1) % 4]) / 4;
            covered += !seen(T, corners[k], 4.0);
        }
        widths.push_back(sides);
    }
    std::printf("marker width (mean projected side) median %.1f px, smallest %.1f px\n", median(widths),
                *std::min_element(widths.begin(), widths.end()));
    EXPECT_GE(median(widths), 110.0);
    EXPECT_EQ(covered, 0) << "marker corners off screen or behind an object";
}

TEST_F(DemoView, CarsAreLargeEnough) {
    std::vector<double> player, opponent;
    const std::vector<Car> route = opponentAlongRoute(20.0);
    for (const DemoPose& T : poses) {
        auto length = [&](const Car& car) {
            const double a = car.angle * kPi / 180.0, half = car.scale.x / 2, z = car.scale.z / 2;
            const Vec3 nose{car.position.x + half * std::cos(a), car.position.y + half * std::sin(a), z};
            const Vec3 tail{car.position.x - half * std::cos(a), car.position.y - half * std::sin(a), z};
            return projectedLength(T, nose, tail);
        };
        player.push_back(length(world.player));
        for (const Car& car : route)
            if (seen(T, car.position, 0.0)) opponent.push_back(length(car));
    }
    std::printf("car length: player at its start median %.1f px; opponent along its route median %.1f px\n",
                median(player), median(opponent));
    EXPECT_GE(median(player), 36.0);
    EXPECT_GE(median(opponent), 36.0);
}

// Every stretch of road, both lanes and the middle, is on screen and in the
// open in some frame; the opponent's route passes behind an object in a
// stretch of at least half a second; its start place is hidden in some frames.
TEST_F(DemoView, OrbitShowsTheWholeTrackAndHidesTheOpponentBehindObjects) {
    int unseen = 0, points = 0;
    for (const Vec3& p : trackPoints()) {
        ++points;
        bool ever = false;
        for (size_t f = 0; f < poses.size() && !ever; f += 3) ever = seen(poses[f], p, 10.0);
        if (!ever) ++unseen;
    }
    EXPECT_EQ(unseen, 0) << "of " << points << " track points";

    auto fullyHidden = [&](const DemoPose& T, const Car& car) {
        for (const Vec3& c : carCorners(car, 0.1))
            if (!hiddenByBoxes(world.boxes, T, c)) return false;
        return true;
    };
    const std::vector<Car> route = opponentAlongRoute(5.0);
    int longestRun = 0, run = 0, startHidden = 0;
    for (const DemoPose& T : poses) {
        const bool any = std::any_of(route.begin(), route.end(), [&](const Car& c) { return fullyHidden(T, c); });
        run = any ? run + 1 : 0;
        longestRun = std::max(longestRun, run);
        startHidden += fullyHidden(T, world.opponent);
    }
    std::printf("opponent's route behind an object for up to %d frames in a row; its start hidden in %d frames\n",
                longestRun, startHidden);
    EXPECT_GE(longestRun, 15);
    EXPECT_GE(startHidden, 10);
}

// A seamless loop: the camera moves from the last frame to the first no
// further than between any two neighbouring frames.
TEST_F(DemoView, VideoLoopsWithoutAJump) {
    double largest = 0;
    for (size_t f = 1; f < poses.size(); ++f)
        largest = std::max(largest, length(demoCameraCentre(poses[f]) - demoCameraCentre(poses[f - 1])));
    const double wrap = length(demoCameraCentre(poses.front()) - demoCameraCentre(poses.back()));
    EXPECT_GT(largest, 0.0);
    EXPECT_LE(wrap, 1.05 * largest);
}

}  // namespace
