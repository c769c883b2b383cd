// Whole chains of steps pinned to the last bit. The expected values were
// worked out step by step outside this code base (double arithmetic, with
// single-precision rounding exactly where the world uses floats).
#include "world/car_physics.h"
#include "world/collisions.h"
#include "world/opponent.h"
#include "world/race_rules.h"
#include "world/race_setup.h"
#include "world/world_step.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

KeyTable held(std::initializer_list<int> codes)
{
    KeyTable keys;
    for (int code : codes) {
        setKeyHeld(keys, code, true);
    }
    return keys;
}

}  // namespace

TEST(ExactPhysics, SteeringWhileAcceleratingTurnsVelocityWithHeading)
{
    World world;
    world.player.mass = 100.0f;
    for (int step = 0; step < 4; ++step) {
        applyPlayerControls(world, held({kKeyUp, kKeyLeft}), 0);
        stepPlayerPhysics(world);
    }
    EXPECT_EQ(world.player.position.x, 47.108039991907006);
    EXPECT_EQ(world.player.position.y, 12.594414275288347);
    EXPECT_EQ(world.player.velocity.x, 18.30051545741659);
    EXPECT_EQ(world.player.velocity.y, 6.660842877214853);
    EXPECT_EQ(world.player.direction.x, 0.9396927047241314);
    EXPECT_EQ(world.player.direction.y, 0.3420201727976939);
    EXPECT_EQ(world.player.angle, 200.0f);
}

TEST(ExactOpponent, TargetOnTheRightTakesThreeLeftTurns)
{
    World world;
    world.opponentPresent = true;
    const Vec3 target{std::cos(degToRad(-60)) * 10, std::sin(degToRad(-60)) * 10, 0};
    world.route = {{{0, 0, 0}, 0.001f, 0}, {target, 0.001f, 1}};
    placeCarsForRace(world);
    const float angles[] = {240.0f, 360.0f, 480.0f, 480.0f};
    const double directionX[] = {0.5, -0.999999973077653, 0.4999999865388265, 0.4999999865388265};
    const double directionY[] = {0.8660253882408142, 0.0, -0.8660253649253782, -0.8660253649253782};
    const double positionX[] = {0.0005000000237487258, 0.0010000000474974517, 0.0015000000712461776,
                                0.0020000000949949035};
    const double positionY[] = {-0.000866025444918438, -0.001732050889836876, -0.002598076334755314,
                                -0.003464101779673752};
    for (int step = 0; step < 4; ++step) {
        stepOpponent(world);
        EXPECT_EQ(world.opponent.angle, angles[step]) << "step " << step;
        EXPECT_EQ(world.opponent.direction.x, directionX[step]) << "step " << step;
        EXPECT_EQ(world.opponent.direction.y, directionY[step]) << "step " << step;
        EXPECT_EQ(world.opponent.position.x, positionX[step]) << "step " << step;
        EXPECT_EQ(world.opponent.position.y, positionY[step]) << "step " << step;
    }
}

namespace {

// A box ahead of the player, three checkpoints (the last reached only by the
// radius test) and a three-point route around the player's path.
World smallTrack()
{
    World world;
    world.boxes = {{{60, 0, 0}, {20, 20, 20}}};
    world.collisionBoxes = {{{-40, 0, 0}, {4, 4, 4}}};
    world.checkpoints = {{{0, 0, 0}, {10, 10, 10}, false, 0},
                         {{30, 0, 0}, {10, 10, 10}, false, 1},
                         {{44, 3, 0}, {2, 2, 2}, false, 2}};
    world.player.mass = 100.0f;
    world.player.radius = 5.0f;
    world.opponentPresent = true;
    world.opponent.scale = {10, 10, 10};
    world.route = {{{0, 20, 0}, 7.0f, 0}, {{30, 20, 0}, 4.0f, 1}, {{30, 50, 0}, 3.0f, 2}};
    placeCarsForRace(world);
    return world;
}

struct Expected {
    int step;
    double playerX;
    double playerVelocityX;
    int lastCheckpoint;
    int playerLap;
    int lastLapTime;
    double opponentX;
    double opponentY;
    int routeIndex;
    int opponentLaps;
    float opponentAngle;
};

}  // namespace

TEST(ExactWorldStep, BoxHitsCheckpointsLapTimeAndOpponentLap)
{
    World world = smallTrack();
    const Expected expected[] = {
        {1, 5.0, 5.0, 0, 1, 0, 7.0, 20.0, 0, 0, 180.0f},
        {4, 29.474999999999998, 0.0, 1, 1, 0, 28.0, 20.0, 0, 0, 180.0f},  // hits the box
        {6, 44.3, 9.825, 1, 1, 0, 30.0, 24.0, 1, 0, 270.0f},
        {7, 44.3, 0.0, 2, 1, 0, 30.0, 28.0, 1, 0, 270.0f},  // radius test, box again
        {8, 44.3, 0.0, -1, 2, 2, 30.0, 32.0, 1, 0, 270.0f},  // lap timed from the first UP
        {13, -48.025000000000006, -40.0, -1, 2, 2, 30.0, 50.0, 2, 0, 270.0f},
        {14, -87.85000000000001, -39.825, -1, 2, 2, 27.878679656440358, 47.878679656440355, 2, 0, 405.0f},
        {27, -589.6500000000003, -37.55000000000004, -1, 2, 2, 0.3015151901649995, 20.301515190165, 2, 0, 405.0f},
        {28, -627.0250000000003, -37.37500000000004, -1, 2, 2, 0.0, 20.0, 0, 1, 405.0f},
        {29, -664.2250000000004, -37.200000000000045, -1, 2, 2, 7.0, 20.0, 0, 1, 540.0f},
    };
    std::size_t next = 0;
    for (int step = 1; step <= 29; ++step) {
        KeyTable keys;
        if (step <= 6) {
            keys = held({kKeyUp});
        } else if (step >= 11 && step <= 13) {
            keys = held({kKeyDown});
        }
        stepWorld(world, keys, step / 4);
        if (next < std::size(expected) && expected[next].step == step) {
            const Expected& e = expected[next++];
            EXPECT_EQ(world.player.position.x, e.playerX) << "step " << step;
            EXPECT_EQ(world.player.position.y, 0.0) << "step " << step;
            EXPECT_EQ(world.player.velocity.x, e.playerVelocityX) << "step " << step;
            EXPECT_EQ(world.lastCheckpoint, e.lastCheckpoint) << "step " << step;
            EXPECT_EQ(world.playerLap, e.playerLap) << "step " << step;
            EXPECT_EQ(world.lastLapTime, e.lastLapTime) << "step " << step;
            EXPECT_EQ(world.bestLapTime, e.lastLapTime) << "step " << step;
            EXPECT_EQ(world.opponent.position.x, e.opponentX) << "step " << step;
            EXPECT_EQ(world.opponent.position.y, e.opponentY) << "step " << step;
            EXPECT_EQ(world.routeIndex, e.routeIndex) << "step " << step;
            EXPECT_EQ(world.opponentLaps, e.opponentLaps) << "step " << step;
            EXPECT_EQ(world.opponent.angle, e.opponentAngle) << "step " << step;
        }
    }
    EXPECT_EQ(next, std::size(expected));
}

TEST(ExactCheckpoint, RadiusTestSumsInSinglePrecision)
{
    // dx and dy are floats; dx² + dy² is 1.99999998... exactly but 2.0f when
    // summed as floats, so the car just misses a tiny checkpoint with radius 1.
    Car car;
    car.position = {0.9782536625862122, 1.0212833881378174, 0};
    const Checkpoint tiny{{0, 0, 0}, {0.1, 0.1, 0.1}, false, 0};
    EXPECT_FALSE(carReachesCheckpoint(car, tiny));
    car.position.y = std::nextafter(static_cast<float>(car.position.y), 0.0f);
    EXPECT_TRUE(carReachesCheckpoint(car, tiny));
}

TEST(ExactCollision, RadiusIsSquaredInSinglePrecision)
{
    // 0.1f squared is 0.0100000007078... as a float but 0.0100000002980...
    // exactly; a centre between the two distances from a point box hits.
    const Vec3 pointBox{};
    Car car;
    car.radius = 0.1f;
    car.position = {0.10000000251457093, 0, 0};
    EXPECT_TRUE(sphereHitsBox(pointBox, pointBox, car));
    car.position.x = 0.1000000036;
    EXPECT_FALSE(sphereHitsBox(pointBox, pointBox, car));
}
