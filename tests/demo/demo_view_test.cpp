// What the demo video shows of the demo scene, from the true poses beside
// it: the middle marker large, and out of the picture for a stretch while
// another marker of the mat is in view, every part of the track at some
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
#include "common/demo_race.h"
#include "common/demo_poses.h"
#include "tracking/mat.h"
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
        ASSERT_TRUE(loadDemoRace(world, kDemoDir, reason)) << reason;
        ASSERT_TRUE(readMatFile((kDemoDir + "/" + world.patternPath).c_str(), &mat, &reason)) << reason;
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
    Mat mat;
    std::vector<DemoPose> poses;
    CameraIntrinsics camera{};
};

// Mean projected side of a mat marker, and whether all of it is in the
// picture and in the open.
struct MarkerSight {
    double width;
    bool whole;
};

TEST_F(DemoView, MiddleMarkerLeavesThePictureWhileAnotherMatMarkerStaysInView) {
    ASSERT_FALSE(mat.markers.empty());
    ASSERT_EQ(mat.markers[0].centre[0], 0.0);
    ASSERT_EQ(mat.markers[0].centre[1], 0.0);
    auto sight = [&](const DemoPose& T, const MatMarker& m) {
        const double h = m.width / 2, x = m.centre[0], y = m.centre[1];
        const Vec3 corners[4] = {{x - h, y + h, 0}, {x + h, y + h, 0}, {x + h, y - h, 0}, {x - h, y - h, 0}};
        MarkerSight s{0.0, true};
        for (int k = 0; k < 4; ++k) {
            s.width += projectedLength(T, corners[k], corners[(k + 1) % 4]) / 4;
            s.whole = s.whole && seen(T, corners[k], 4.0);
        }
        return s;
    };
    std::vector<double> middle, others;
    int withoutMiddle = 0, withoutAny = 0;
    for (const DemoPose& T : poses) {
        const MarkerSight centre = sight(T, mat.markers[0]);
        double widest = 0;
        for (size_t i = 1; i < mat.markers.size(); ++i) {
            const MarkerSight s = sight(T, mat.markers[i]);
            if (s.whole) widest = std::max(widest, s.width);
        }
        if (centre.whole) middle.push_back(centre.width);
        else others.push_back(widest);
        withoutMiddle += !centre.whole;
        withoutAny += !centre.whole && widest == 0;
    }
    std::printf("middle marker in view in %zu of %zu frames, width median %.1f px; without it the widest other "
                "marker whole in view is %.1f px (median), %.1f px (smallest)\n",
                middle.size(), poses.size(), median(middle), median(others),
                others.empty() ? 0.0 : *std::min_element(others.begin(), others.end()));
    EXPECT_GE(median(middle), 110.0);
    EXPECT_GE(withoutMiddle * 20, static_cast<int>(poses.size())) << "the middle marker leaves the picture in under 5 %";
    EXPECT_EQ(withoutAny, 0) << "frames without any mat marker whole in view";
    EXPECT_GE(median(others), 60.0);
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

// A point on a face of a box, and the face's outward normal.
struct Probe {
    Vec3 point, normal;
    std::vector<std::array<double, 3>> colours;  // as seen in the frames that show it
};

std::vector<Probe> probesOn(const Vec3& c, const Vec3& s) {
    std::vector<Probe> probes;
    for (double u : {0.2, 0.5, 0.8})
        for (double v : {0.2, 0.5, 0.8})
            probes.push_back({{c.x + (u - 0.5) * s.x, c.y + (v - 0.5) * s.y, c.z + s.z / 2}, {0, 0, 1}, {}});
    for (int side = 0; side < 4; ++side) {
        const double nx = side == 0 ? 1 : side == 1 ? -1 : 0, ny = side == 2 ? 1 : side == 3 ? -1 : 0;
        for (double u : {-0.3, 0.0, 0.3})
            for (double h : {0.3, 0.7}) {
                const Vec3 p{c.x + nx * s.x / 2 + (nx == 0 ? u * s.x : 0), c.y + ny * s.y / 2 + (ny == 0 ? u * s.y : 0),
                             c.z - s.z / 2 + h * s.z};
                probes.push_back({p, {nx, ny, 0}, {}});
            }
    }
    return probes;
}

// Share of a probe's sightings that agree with their median colour.
double agreement(const Probe& probe) {
    std::array<double, 3> mid{};
    for (int k = 0; k < 3; ++k) {
        std::vector<double> channel;
        for (const auto& c : probe.colours) channel.push_back(c[k]);
        mid[k] = median(channel);
    }
    int agree = 0;
    for (const auto& c : probe.colours)
        agree += std::fabs(c[0] - mid[0]) + std::fabs(c[1] - mid[1]) + std::fabs(c[2] - mid[2]) < 30;
    return static_cast<double>(agree) / probe.colours.size();
}

struct BoxCase {
    std::string name;
    Box box;
    bool real;
    std::vector<Probe> probes;
};

// A point on a real object keeps its colour from every side the camera sees
// it from; a point in thin air shows whatever lies behind it, which changes
// as the camera moves. Every occluder box must look like the former; boxes
// placed where nothing stands, like the latter.
TEST_F(DemoView, EveryOccluderBoxIsARealObjectInTheVideo) {
    std::vector<BoxCase> cases;
    for (size_t i = 0; i < world.boxes.size(); ++i)
        cases.push_back({"box " + std::to_string(i), world.boxes[i], true, {}});
    const std::vector<Box> phantoms = {{{137, -100, 35}, {40, 40, 70}}, {{-40, -100, 30}, {60, 40, 60}},
                                       {{-137, 40, 30}, {40, 40, 60}}};
    for (size_t i = 0; i < phantoms.size(); ++i) cases.push_back({"empty place " + std::to_string(i), phantoms[i], false, {}});
    for (BoxCase& c : cases) c.probes = probesOn(c.box.centre, c.box.size);

    videoSetPacing(false);
    ASSERT_EQ(videoOpen(videoConfigFor(kDemoDir + "/video/demo.avi").c_str()), 0);
    videoCapStart();
    for (const DemoPose& T : poses) {
        const unsigned char* frame = videoGetImage();
        ASSERT_NE(frame, nullptr);
        const Vec3 eye = demoCameraCentre(T);
        for (BoxCase& c : cases)
            for (Probe& probe : c.probes) {
                const Vec3 toEye = eye - probe.point;
                if (dot(toEye, probe.normal) < 0.3 * length(toEye)) continue;  // face turned away or grazed
                bool blocked = false;
                for (const Box& other : world.boxes) {
                    const bool itself = length(other.centre - c.box.centre) == 0.0;
                    blocked = blocked || (!itself && segmentCrossesBox(eye, probe.point, other.centre, other.size));
                }
                double ix = 0, iy = 0, ox = 0, oy = 0;
                if (blocked || !projectDemoPoint(camera, T, probe.point, &ix, &iy)) continue;
                idealToObserved(camera.distortion, ix, iy, &ox, &oy);
                const int px = static_cast<int>(std::lround(ox)), py = static_cast<int>(std::lround(oy));
                if (px < 2 || py < 2 || px >= kWidth - 2 || py >= kHeight - 2) continue;
                std::array<double, 3> rgb{};
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const unsigned char* p = frame + (static_cast<size_t>(py + dy) * kWidth + px + dx) * 4;
                        for (int k = 0; k < 3; ++k) rgb[k] += p[2 - k] / 9.0;
                    }
                probe.colours.push_back(rgb);
            }
        videoCapNext();
    }
    videoClose();

    for (const BoxCase& c : cases) {
        std::vector<double> shares;
        for (const Probe& probe : c.probes)
            if (probe.colours.size() >= 20) shares.push_back(agreement(probe));
        ASSERT_GE(shares.size(), 9u) << c.name << ": too few points of it are ever in view";
        std::sort(shares.begin(), shares.end());
        const double lowQuarter = shares[shares.size() / 4];
        std::printf("%s: %zu points seen; colour kept in %.0f %% of sightings (median point), %.0f %% (lower quarter)\n",
                    c.name.c_str(), shares.size(), 100 * median(shares), 100 * lowQuarter);
        if (c.real) {
            // Points next to a printed edge may blur into it from far away.
            EXPECT_GE(median(shares), 0.95) << c.name << " is not a solid object in the video";
            EXPECT_GE(lowQuarter, 0.85) << c.name << " is not a solid object in the video";
        } else {
            EXPECT_LT(lowQuarter, 0.5) << c.name << " looks solid, so the check cannot tell";
        }
    }
}

}  // namespace
