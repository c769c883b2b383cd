// The driver's choices, step by step, on worlds built in the test.
#include "drive.h"
#include "driver.h"

#include "world/car_physics.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

Checkpoint checkpointAt(int32_t number, double x, double y, double half = 5.0)
{
    Checkpoint checkpoint;
    checkpoint.number = number;
    checkpoint.centre = Vec3(x, y, 0.0);
    checkpoint.size = Vec3(2 * half, 2 * half, 10.0);
    return checkpoint;
}

bool held(const KeyTable& keys, int code) { return isKeyHeld(keys, code); }

// Checkpoints listed out of number order, as a scene may list them.
World ringWorld()
{
    World world;
    world.checkpoints = {checkpointAt(2, -50, 0), checkpointAt(0, 50, 0), checkpointAt(1, 0, 50)};
    world.lastCheckpoint = 0;
    world.player.mass = 100.0f;
    world.player.radius = 2.0f;
    return world;
}

TEST(AutodriveAim, FollowsTheLapRulesNotTheListOrder)
{
    World world = ringWorld();
    ASSERT_NE(checkpointToAimAt(world), nullptr);
    EXPECT_EQ(checkpointToAimAt(world)->number, 1);
    world.lastCheckpoint = 1;
    EXPECT_EQ(checkpointToAimAt(world)->number, 2);
    // After the highest number nothing is due: the lap completes wherever
    // the car is, and the next lap starts at the lowest number.
    world.lastCheckpoint = 2;
    EXPECT_EQ(checkpointToAimAt(world)->number, 0);
}

TEST(AutodriveAim, SkipsPassedDuplicatesAndHandlesNoCheckpoints)
{
    World world = ringWorld();
    world.checkpoints.push_back(checkpointAt(1, 99, 99));
    world.checkpoints[2].passed = true;  // the first checkpoint numbered 1
    ASSERT_NE(checkpointToAimAt(world), nullptr);
    EXPECT_EQ(checkpointToAimAt(world)->centre.x, 99.0);
    world.checkpoints.clear();
    EXPECT_EQ(checkpointToAimAt(world), nullptr);
}

TEST(AutodriveHeading, SignFollowsLeftAndRightOfTheCarsDirection)
{
    Car car;  // direction (1, 0, 0) at the origin
    EXPECT_NEAR(headingErrorDegrees(car, Vec3(10, 10, 0)), 45.0, 1e-9);
    EXPECT_NEAR(headingErrorDegrees(car, Vec3(10, -10, 0)), -45.0, 1e-9);
    EXPECT_NEAR(headingErrorDegrees(car, Vec3(-10, 0, 0)), 180.0, 1e-9);
    EXPECT_NEAR(headingErrorDegrees(car, Vec3(10, 0, 99)), 0.0, 1e-9);  // height plays no part
    rotateCar(car, 90.0f);  // now facing +y
    EXPECT_NEAR(headingErrorDegrees(car, Vec3(-10, 0, 0)), 90.0, 1e-5);
}

TEST(AutodriveSteering, TurnsOnlyWhenOffByMoreThanTheDeadband)
{
    World world = ringWorld();
    world.player.position = Vec3(0, 0, 0);
    DriverSettings settings;
    // Checkpoint 1 at (0, 50) lies 90 degrees to the left.
    KeyTable keys = chooseKeys(world, settings);
    EXPECT_TRUE(held(keys, kKeyLeft));
    EXPECT_FALSE(held(keys, kKeyRight));
    world.checkpoints[2].centre = Vec3(50, -50, 0);
    keys = chooseKeys(world, settings);
    EXPECT_TRUE(held(keys, kKeyRight));
    EXPECT_FALSE(held(keys, kKeyLeft));
    // 2 degrees off: a 5-degree step would overshoot, so hold straight.
    world.checkpoints[2].centre = Vec3(100, 100 * std::tan(degToRad(2.0)), 0);
    keys = chooseKeys(world, settings);
    EXPECT_FALSE(held(keys, kKeyLeft));
    EXPECT_FALSE(held(keys, kKeyRight));
}

TEST(AutodriveSpeed, AcceleratesCoastsAndBrakesAroundTheTarget)
{
    World world = ringWorld();
    DriverSettings settings;
    settings.targetSpeed = 2.0;
    settings.brakeMargin = 0.5;
    const struct {
        double speed;
        bool up, down;
    } cases[] = {{0.0, true, false}, {1.99, true, false}, {2.0, false, false},
                 {2.5, false, false}, {2.51, false, true}, {-1.0, true, false}};
    for (const auto& c : cases) {
        world.player.velocity = Vec3(c.speed, 0, 0);  // along direction (1, 0, 0)
        const KeyTable keys = chooseKeys(world, settings);
        EXPECT_EQ(held(keys, kKeyUp), c.up) << "speed " << c.speed;
        EXPECT_EQ(held(keys, kKeyDown), c.down) << "speed " << c.speed;
    }
}

// A square of four checkpoints with an opponent on a slow route.
World raceWorld(float opponentSpeed)
{
    World world;
    world.checkpoints = {checkpointAt(0, 60, 0, 10), checkpointAt(1, 60, 60, 10), checkpointAt(2, 0, 60, 10),
                         checkpointAt(3, 0, 0, 10)};
    world.lastCheckpoint = 0;
    world.player.position = Vec3(60, -10, 0);
    world.player.mass = 400.0f;
    world.player.radius = 2.0f;
    rotateCar(world.player, 90.0f);
    world.opponentPresent = true;
    world.opponent.position = Vec3(-500, -500, 0);
    RoutePoint a;
    a.position = Vec3(-500, -500, 0);
    a.speed = opponentSpeed;
    a.index = 0;
    RoutePoint b = a;
    b.position = Vec3(-400, -500, 0);
    b.index = 1;
    world.route = {a, b};
    world.lastRouteIndex = 1;
    return world;
}

TEST(AutodriveRace, CompletesTheRequestedLapsAndRecordsEveryStep)
{
    World world = raceWorld(0.01f);
    std::vector<KeyTable> script;
    const DriveOutcome outcome = driveRace(world, DriverSettings{}, DriveGoal{2, 100000}, script);
    EXPECT_TRUE(outcome.goalReached);
    EXPECT_EQ(outcome.state, RaceState::Race);
    EXPECT_EQ(world.playerLap, 3);
    EXPECT_EQ(static_cast<int64_t>(script.size()), outcome.steps);
    ASSERT_FALSE(script.empty());
    EXPECT_TRUE(held(script.front(), kKeyUp));  // the first step starts the race
}

TEST(AutodriveRace, StopsWhenTheOpponentWinsFirst)
{
    // Two route points 100 apart at speed 100: the opponent laps every
    // second step and wins long before the player's nine laps.
    World world = raceWorld(100.0f);
    std::vector<KeyTable> script;
    const DriveOutcome outcome = driveRace(world, DriverSettings{}, DriveGoal{9, 100000}, script);
    EXPECT_TRUE(outcome.goalReached);
    EXPECT_EQ(outcome.state, RaceState::Lost);
    EXPECT_EQ(outcome.steps, 18);
}

TEST(AutodriveRace, GivesUpAfterMaxSteps)
{
    World world = raceWorld(0.01f);
    world.player.mass = 5000.0f;  // thrust below friction: the car barely creeps
    std::vector<KeyTable> script;
    const DriveOutcome outcome = driveRace(world, DriverSettings{}, DriveGoal{1, 500}, script);
    EXPECT_FALSE(outcome.goalReached);
    EXPECT_EQ(outcome.steps, 500);
    EXPECT_EQ(script.size(), 500u);
}

}  // namespace
