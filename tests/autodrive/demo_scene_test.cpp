// The bundled demo scene: complete, raceable, and laid out so that the
// cars, the marker and the obstacles keep out of each other's way.
#include "tracking/mat.h"
#include "world/collisions.h"
#include "world/race_setup.h"
#include "world/scene_check.h"
#include "world/world_step.h"

#include "common/scratch_dir.h"
#include "render/bmp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct Rect {
    double x0, x1, y0, y1;
};

template <typename BoxRecord>
Rect footprint(const BoxRecord& box)
{
    return {box.centre.x - box.size.x / 2, box.centre.x + box.size.x / 2, box.centre.y - box.size.y / 2,
            box.centre.y + box.size.y / 2};
}

Rect carFootprint(const Vec3& position, const Vec3& scale)
{
    return {position.x - scale.x / 2, position.x + scale.x / 2, position.y - scale.y / 2, position.y + scale.y / 2};
}

bool overlap(const Rect& a, const Rect& b) { return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1; }

class DemoScene : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The scene names its files relative to the demo folder, as the game runs there.
        ASSERT_EQ(chdir(ROVANTA_DEMO_DIR), 0);
        std::string reason;
        ASSERT_TRUE(loadRaceScene(world, "Scene.txt", {}, reason)) << reason;
        placeCarsForRace(world);
    }

    std::vector<Rect> obstacles() const
    {
        std::vector<Rect> all;
        for (const Box& box : world.boxes) all.push_back(footprint(box));
        for (const CollisionBox& box : world.collisionBoxes) all.push_back(footprint(box));
        return all;
    }

    World world;
};

TEST_F(DemoScene, LoadsBothCarsWithModelsAndTextures)
{
    EXPECT_TRUE(world.opponentPresent);
    EXPECT_GT(world.player.model.meshCount(), 0);
    EXPECT_GT(world.opponent.model.meshCount(), 0);
    for (const std::string& path : {world.playerTexturePath, world.opponentTexturePath}) {
        RgbImage* texture = loadDibImage(path.c_str());
        ASSERT_NE(texture, nullptr) << path;
        EXPECT_GT(texture->width, 0);
        freeRgbImage(texture);
    }
}

TEST_F(DemoScene, CheckpointsRunFromZeroWithoutGapsAndTheRouteIsALoop)
{
    std::vector<int32_t> numbers;
    for (const Checkpoint& checkpoint : world.checkpoints) numbers.push_back(checkpoint.number);
    std::sort(numbers.begin(), numbers.end());
    for (std::size_t i = 0; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], static_cast<int32_t>(i));
    EXPECT_GE(numbers.size(), 4u);
    EXPECT_GE(world.route.size(), 8u);
    EXPECT_LE(world.route.size(), 12u);
}

// No object or wall stands on a marker of the mat (the camera may still look
// past an object at one).
TEST_F(DemoScene, TheMatMarkersAreLeftUncovered)
{
    Mat mat;
    std::string reason;
    ASSERT_TRUE(readMatFile(world.patternPath.c_str(), &mat, &reason)) << reason;
    ASSERT_GE(mat.markers.size(), 5u);
    for (const MatMarker& m : mat.markers) {
        const double h = m.width / 2;
        const Rect marker{m.centre[0] - h, m.centre[0] + h, m.centre[1] - h, m.centre[1] + h};
        for (const Rect& obstacle : obstacles()) EXPECT_FALSE(overlap(obstacle, marker)) << "marker line " << m.line;
    }
}

TEST_F(DemoScene, CarsStartClearOfObstaclesAndOfEachOther)
{
    for (const Box& box : world.boxes) EXPECT_FALSE(sphereHitsBox(box, world.player));
    for (const CollisionBox& box : world.collisionBoxes) EXPECT_FALSE(sphereHitsBox(box, world.player));
    EXPECT_FALSE(sphereHitsBox(world.opponent.position, world.opponent.scale, world.player));
    // Facing along the track: the first checkpoint due lies straight ahead.
    EXPECT_GT(world.player.direction.y, 0.999);
}

// The opponent never collides, so a route through a wall would show it
// driving through the wall; walk every segment in unit steps.
TEST_F(DemoScene, TheOpponentsRouteStaysOffEveryObstacle)
{
    const std::vector<Rect> all = obstacles();
    for (std::size_t i = 0; i < world.route.size(); ++i) {
        const Vec3& from = world.route[i].position;
        const Vec3& to = world.route[(i + 1) % world.route.size()].position;
        const int samples = static_cast<int>(length(to - from)) + 1;
        for (int s = 0; s <= samples; ++s) {
            const Vec3 at = from + (to - from) * (static_cast<double>(s) / samples);
            const Rect car = carFootprint(at, world.opponent.scale);
            for (const Rect& obstacle : all) ASSERT_FALSE(overlap(car, obstacle)) << "segment " << i;
        }
    }
}

TEST_F(DemoScene, TheOpponentNeedsAboutAMinutePerLapAtSixtyStepsASecond)
{
    KeyTable start;
    setKeyHeld(start, kKeyUp, true);
    stepWorld(world, start, 0);
    int steps = 1;
    while (world.opponentLaps == 0 && steps < 10000) {
        stepWorld(world, KeyTable{}, 0);
        ++steps;
    }
    EXPECT_GT(steps, 55 * 60);
    EXPECT_LT(steps, 65 * 60);
}

TEST_F(DemoScene, ThePlayerCarAcceleratesGentlyUnderThrust)
{
    // Holding UP gains 500 / mass per step against friction's 0.175.
    const double gain = 500.0 / world.player.mass - 0.175;
    EXPECT_GT(gain, 0.0);
    EXPECT_LT(gain, 0.05);
}

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The scene, its mat and the demo video come from one description of the
// table; the committed scene and mat must be what that description writes today.
TEST(DemoSceneFile, IsWrittenFromTheDemoTable)
{
    const std::string dir = testScratchDir();
    ASSERT_EQ(std::system((std::string(ROVANTA_DEMOSCENE_PATH) + " '" + dir + "'").c_str()), 0);
    for (const char* name : {"Scene.txt", "mat.txt"}) {
        const std::string text = fileText(dir + name);
        EXPECT_FALSE(text.empty()) << name;
        EXPECT_EQ(text, fileText(std::string(ROVANTA_DEMO_DIR) + "/" + name))
            << "demo/" << name << " differs from the demo table: cmake --build build --target demo-scene";
    }
}

}  // namespace
