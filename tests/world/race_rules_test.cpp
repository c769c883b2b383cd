#include "world/race_rules.h"
#include "world/race_setup.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

Checkpoint checkpointAt(int number, double x, double y = 0, double size = 2)
{
    Checkpoint checkpoint;
    checkpoint.number = number;
    checkpoint.centre = {x, y, 0};
    checkpoint.size = {size, size, 1};
    return checkpoint;
}

World worldWithCheckpoints(std::initializer_list<int> numbers)
{
    World world;
    double x = 0;
    for (int number : numbers) {
        world.checkpoints.push_back(checkpointAt(number, x));
        x += 100;
    }
    placeCarsForRace(world);
    return world;
}

void parkAt(World& world, double x, double y = 0) { world.player.position = {x, y, 0}; }

}  // namespace

TEST(CheckpointReach, RectangleThenRadiusTestStrictly)
{
    Car car;
    car.radius = 1.0f;
    const Checkpoint checkpoint = checkpointAt(0, 0);
    car.position = {0.9, 0.9, 0};
    EXPECT_TRUE(carReachesCheckpoint(car, checkpoint));
    car.position = {-1.2, 0.5, 5};
    EXPECT_TRUE(carReachesCheckpoint(car, checkpoint));
    car.position = {1.2, -1.2, 0};
    EXPECT_FALSE(carReachesCheckpoint(car, checkpoint));
    car.position = {1.0, 0.0, 0};  // on the rectangle's edge, 1 < 2 by radius
    EXPECT_TRUE(carReachesCheckpoint(car, checkpoint));
    car.radius = 0.5f;
    EXPECT_FALSE(carReachesCheckpoint(car, checkpoint));
}

// A gate 180 long across x and 30 deep across y, as in the demo: 80 from its
// centre along x is inside, 80 along y is not.
TEST(CheckpointReach, LongGatesReachAlongTheirLengthOnly)
{
    Car car;
    car.radius = 8.0f;
    Checkpoint gate = checkpointAt(0, 10, 20);
    gate.size = {180, 30, 30};
    const struct {
        double x, y;
        bool reached;
    } cases[] = {{90, 20, true}, {-70, 20, true}, {10, 100, false}, {10, -60, false}, {10, 34, true}};
    for (const auto& c : cases) {
        car.position = {c.x, c.y, 0};
        EXPECT_EQ(carReachesCheckpoint(car, gate), c.reached) << c.x << "," << c.y;
    }
}

TEST(LapRules, OnlyTheDueCheckpointCounts)
{
    World world = worldWithCheckpoints({0, 1, 2});
    EXPECT_EQ(world.lastCheckpoint, 0);
    parkAt(world, 200);  // checkpoint 2 is not due yet
    EXPECT_FALSE(stepLapRules(world, 0));
    EXPECT_EQ(world.lastCheckpoint, 0);
    parkAt(world, 100);
    EXPECT_TRUE(stepLapRules(world, 0));
    EXPECT_EQ(world.lastCheckpoint, 1);
    parkAt(world, 200);
    EXPECT_TRUE(stepLapRules(world, 0));
    EXPECT_EQ(world.playerLap, 1);
    parkAt(world, 5000);  // the lap completes wherever the car is
    EXPECT_TRUE(stepLapRules(world, 0));
    EXPECT_EQ(world.playerLap, 2);
    EXPECT_EQ(world.lastCheckpoint, -1);
    for (const Checkpoint& checkpoint : world.checkpoints) {
        EXPECT_FALSE(checkpoint.passed);
    }
}

TEST(LapRules, NumberingFromOneWinsEightStepsAfterFirstLap)
{
    World world = worldWithCheckpoints({1, 2, 3});
    EXPECT_EQ(world.lastCheckpoint, 1);
    parkAt(world, 100);
    stepLapRules(world, 0);
    parkAt(world, 200);
    stepLapRules(world, 0);
    stepLapRules(world, 0);
    EXPECT_EQ(world.playerLap, 2);
    int steps = 0;
    while (raceStateOf(world) != RaceState::Won && steps < 100) {
        stepLapRules(world, 0);
        ++steps;
    }
    EXPECT_EQ(steps, 8);
}

TEST(LapRules, GapInNumbersEndsLapEarly)
{
    World world = worldWithCheckpoints({0, 1, 3});
    parkAt(world, 100);
    stepLapRules(world, 0);
    EXPECT_EQ(world.lastCheckpoint, 1);
    stepLapRules(world, 0);
    EXPECT_EQ(world.playerLap, 2);
    EXPECT_FALSE(world.checkpoints[2].passed);
}

TEST(LapRules, DuplicateNumberFirstInListIsDue)
{
    World world = worldWithCheckpoints({0, 1, 1});
    parkAt(world, 200);
    EXPECT_FALSE(stepLapRules(world, 0));
    parkAt(world, 100);
    EXPECT_TRUE(stepLapRules(world, 0));
    EXPECT_TRUE(world.checkpoints[1].passed);
    EXPECT_FALSE(world.checkpoints[2].passed);
}

TEST(LapRules, LapTimesAndZeroMeansNoBest)
{
    World world = worldWithCheckpoints({0});
    world.lapStartTime = 100;
    auto lapOf = [&world](int64_t start, int64_t end) {
        parkAt(world, 0);
        stepLapRules(world, start);  // reaches checkpoint 0 and starts the clock
        stepLapRules(world, end);
    };
    stepLapRules(world, 112);
    EXPECT_EQ(world.lastLapTime, 12);
    EXPECT_EQ(world.bestLapTime, 12);
    lapOf(200, 215);
    EXPECT_EQ(world.lastLapTime, 15);
    EXPECT_EQ(world.bestLapTime, 12);
    lapOf(300, 300);
    EXPECT_EQ(world.bestLapTime, 0);
    lapOf(400, 420);
    EXPECT_EQ(world.bestLapTime, 20);
}

TEST(LapRules, HighestPossibleNumberDoesNotOverflow)
{
    World world = worldWithCheckpoints({INT_MAX});
    EXPECT_TRUE(stepLapRules(world, 0));
    EXPECT_EQ(world.playerLap, 2);
}

TEST(RaceState, WonTakesPrecedenceOverLost)
{
    World world;
    EXPECT_EQ(raceStateOf(world), RaceState::Race);
    world.opponentLaps = 9;
    EXPECT_EQ(raceStateOf(world), RaceState::Lost);
    world.playerLap = 10;
    EXPECT_EQ(raceStateOf(world), RaceState::Won);
    EXPECT_STREQ(raceStateName(RaceState::Won), "won");
}

TEST(RaceSetup, OpponentStartsOnLowestRouteIndex)
{
    World world;
    world.checkpoints.push_back(checkpointAt(0, 0));
    world.opponentPresent = true;
    world.opponent.position = {99, 99, 99};
    const int indices[] = {3, 1, 2};
    for (int i = 0; i < 3; ++i) {
        world.route.push_back(RoutePoint{{double(i), 10.0 * i, 0}, 1.0f, indices[i]});
    }
    placeCarsForRace(world);
    EXPECT_EQ(world.lastCheckpoint, 0);
    EXPECT_EQ(world.routeIndex, 1);
    EXPECT_EQ(world.lastRouteIndex, 3);
    EXPECT_EQ(world.opponent.position, (Vec3{1, 10, 0}));
}
