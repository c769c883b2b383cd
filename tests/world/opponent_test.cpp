#include "world/opponent.h"
#include "world/race_setup.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

World worldWithRoute(std::initializer_list<RoutePoint> points)
{
    World world;
    world.opponentPresent = true;
    world.route = points;
    placeCarsForRace(world);
    return world;
}

double headingDegrees(const Car& car) { return radToDeg(std::atan2(car.direction.y, car.direction.x)); }

}  // namespace

TEST(OpponentDriver, DrivesTheRouteAtEachPointsSpeedAndCountsLaps)
{
    World world = worldWithRoute({{{0, 0, 0}, 2.0f, 1}, {{10, 0, 0}, 3.0f, 2}, {{10, 10, 0}, 1.0f, 3}});
    for (int step = 1; step <= 5; ++step) {
        stepOpponent(world);
        EXPECT_DOUBLE_EQ(world.opponent.position.x, 2.0 * step);
        EXPECT_EQ(world.opponent.position.y, 0.0);
    }
    EXPECT_EQ(world.routeIndex, 2);
    const double ys[] = {3, 6, 9, 10};
    for (double y : ys) {
        stepOpponent(world);
        EXPECT_DOUBLE_EQ(world.opponent.position.y, y);
        EXPECT_DOUBLE_EQ(world.opponent.position.x, 10);
    }
    EXPECT_EQ(world.routeIndex, 3);
    stepOpponent(world);
    EXPECT_NEAR(world.opponent.position.x, 10 - std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(world.opponent.position.y, 10 - std::sqrt(0.5), 1e-12);
    int steps = 1;
    while (world.opponentLaps == 0 && steps < 100) {
        stepOpponent(world);
        ++steps;
    }
    EXPECT_EQ(steps, 15);  // ceil(sqrt(200)) one-unit steps along the diagonal
    EXPECT_EQ(world.routeIndex, 1);
    EXPECT_EQ(world.opponent.position, (Vec3{0, 0, 0}));
}

TEST(OpponentDriver, TurnsLeftByTheUnsignedAngle)
{
    World left = worldWithRoute({{{0, 0, 0}, 0.5f, 0}, {{std::cos(degToRad(60)) * 10, std::sin(degToRad(60)) * 10, 0}, 0.5f, 1}});
    stepOpponent(left);
    EXPECT_NEAR(left.opponent.angle, 240.0f, 1e-4);
    EXPECT_NEAR(headingDegrees(left.opponent), 60.0, 1e-4);

    World right = worldWithRoute({{{0, 0, 0}, 0.001f, 0}, {{std::cos(degToRad(-60)) * 10, std::sin(degToRad(-60)) * 10, 0}, 0.001f, 1}});
    const double expectedTurns[] = {60, 120, 120};
    for (double turn : expectedTurns) {
        const float before = right.opponent.angle;
        stepOpponent(right);
        EXPECT_NEAR(right.opponent.angle - before, turn, 1e-3);
    }
    EXPECT_NEAR(headingDegrees(right.opponent), -60.0, 1e-3);
    const float settled = right.opponent.angle;
    stepOpponent(right);
    EXPECT_EQ(right.opponent.angle, settled);
}

TEST(OpponentDriver, SmallOffsetsAreNotTurnedButStillDrivenAt)
{
    const Vec3 target{std::cos(degToRad(4)) * 10, std::sin(degToRad(4)) * 10, 0};
    World world = worldWithRoute({{{0, 0, 0}, 1.0f, 0}, {target, 1.0f, 1}});
    stepOpponent(world);
    EXPECT_EQ(world.opponent.angle, 180.0f);
    EXPECT_EQ(world.opponent.direction, (Vec3{1, 0, 0}));
    EXPECT_NEAR(world.opponent.position.y / world.opponent.position.x, std::tan(degToRad(4)), 1e-12);
}

TEST(OpponentDriver, SpeedEqualToDistanceArrives)
{
    World world = worldWithRoute({{{0, 0, 0}, 4.0f, 0}, {{4, 0, 0}, 4.0f, 1}, {{4, 4, 0}, 1.0f, 2}});
    stepOpponent(world);
    EXPECT_EQ(world.opponent.position, (Vec3{4, 0, 0}));
    EXPECT_EQ(world.routeIndex, 1);
}

TEST(OpponentDriver, SinglePointRouteCountsALapEveryStep)
{
    World world = worldWithRoute({{{5, 5, 0}, 1.0f, 7}});
    for (int step = 1; step <= 3; ++step) {
        stepOpponent(world);
        EXPECT_EQ(world.opponentLaps, step);
        EXPECT_EQ(world.routeIndex, 7);
        EXPECT_EQ(world.opponent.position, (Vec3{5, 5, 0}));
        EXPECT_NEAR(world.opponent.angle, 180.0f + 90.0f * step, 1e-4);
    }
}

TEST(OpponentDriver, StrayCarIsPulledOntoItsSegmentLine)
{
    World world = worldWithRoute({{{0, 0, 0}, 1.0f, 0}, {{10, 0, 0}, 1.0f, 1}});
    world.opponent.position = {5, 40, 0};  // more than twice the segment away from the target
    stepOpponent(world);
    EXPECT_NEAR(world.opponent.position.y, 0.0, 1e-12);
    const Vec3 toTarget = normalized(Vec3{10, 0, 0} - Vec3{5, 40, 0});
    EXPECT_NEAR(world.opponent.position.x, 5 + toTarget.x, 1e-12);
}

TEST(OpponentDriver, IndexWithoutPointLeavesCarAlone)
{
    World world = worldWithRoute({{{0, 0, 0}, 1.0f, 0}, {{10, 0, 0}, 1.0f, 2}});
    world.routeIndex = 1;
    const Car before = world.opponent;
    stepOpponent(world);
    EXPECT_EQ(world.opponent.position, before.position);
    EXPECT_EQ(world.opponentLaps, 0);
}
