#include "world/car_physics.h"
#include "world/collisions.h"

#include <gtest/gtest.h>

namespace {

KeyTable held(std::initializer_list<int> codes)
{
    KeyTable keys;
    for (int code : codes) {
        setKeyHeld(keys, code, true);
    }
    return keys;
}

// Controls and physics of one step, as the world step runs them once the race is on.
void drive(World& world, const KeyTable& keys)
{
    applyPlayerControls(world, keys, 0);
    stepPlayerPhysics(world);
}

}  // namespace

TEST(PlayerPhysics, ThrustThenFrictionSpeeds)
{
    World world;
    world.player.mass = 100.0f;
    // 5, 9.825, 14.65, then 0.175 less per step, as double arithmetic rounds them.
    const double speeds[] = {5.0, 9.825, 14.649999999999999, 14.474999999999998, 14.299999999999997,
                             14.124999999999996};
    for (int step = 0; step < 6; ++step) {
        const double before = world.player.position.x;
        drive(world, step < 3 ? held({kKeyUp}) : KeyTable{});
        EXPECT_EQ(world.player.velocity.x, speeds[step]) << "step " << step;
        EXPECT_EQ(world.player.position.x, before + speeds[step]) << "step " << step;
        EXPECT_EQ(world.player.force, (Vec3{}));
    }
}

TEST(PlayerPhysics, SpeedIsCappedAtForty)
{
    World world;
    drive(world, held({kKeyUp}));
    EXPECT_EQ(world.player.velocity, (Vec3{40, 0, 0}));
    EXPECT_EQ(world.player.position, (Vec3{40, 0, 0}));
}

TEST(PlayerPhysics, SlowCarCreepsBackwardsForever)
{
    World world;
    world.player.velocity = {0.15, 0, 0};
    drive(world, {});
    EXPECT_NEAR(world.player.velocity.x, -0.025, 1e-15);
    const Vec3 creep = world.player.velocity;
    for (int i = 0; i < 10; ++i) {
        drive(world, {});
    }
    EXPECT_EQ(world.player.velocity, creep);
    EXPECT_NEAR(world.player.position.x, -11 * 0.025, 1e-12);
}

TEST(PlayerControls, FullCircleOfSteeringDriftsSlightly)
{
    World world;
    for (int i = 0; i < 72; ++i) {
        applyPlayerControls(world, held({kKeyLeft}), 0);
    }
    EXPECT_EQ(world.player.angle, 540.0f);
    EXPECT_EQ(world.player.direction.x, 1.0000016012120019);
    EXPECT_EQ(world.player.direction.y, -1.8250560174237762e-08);
    EXPECT_NE(length(world.player.direction), 1.0);
    EXPECT_FALSE(world.raceStarted);
}

TEST(PlayerControls, KeysCombineInOneStep)
{
    World world;
    world.player.velocity = {2, 0, 0};
    applyPlayerControls(world, held({kKeyUp, kKeyRight}), 0);
    EXPECT_EQ(world.player.angle, 175.0f);
    EXPECT_NEAR(world.player.direction.y, -0.0871557, 1e-7);
    EXPECT_NEAR(world.player.velocity.y, 2 * -0.0871557, 1e-6);
    EXPECT_DOUBLE_EQ(world.player.force.x, 100 * world.player.direction.x);

    World both;
    applyPlayerControls(both, held({kKeyUp, kKeyDown, kKeyLeft, kKeyRight}), 0);
    EXPECT_DOUBLE_EQ(both.player.force.x, -250.0 * both.player.direction.x);
    EXPECT_EQ(both.player.angle, 180.0f);
    EXPECT_NEAR(both.player.direction.x, 1.0, 1e-7);
}

TEST(PlayerControls, FirstThrustStartsRaceAndLapClockOnce)
{
    World world;
    applyPlayerControls(world, held({kKeyLeft}), 7);
    EXPECT_FALSE(world.raceStarted);
    applyPlayerControls(world, held({kKeyDown}), 42);
    EXPECT_TRUE(world.raceStarted);
    EXPECT_EQ(world.lapStartTime, 42);
    applyPlayerControls(world, held({kKeyUp}), 50);
    EXPECT_EQ(world.lapStartTime, 42);
}

TEST(KeyTableCodes, OutOfRangeCodesAreIgnored)
{
    KeyTable keys;
    setKeyHeld(keys, 110, true);
    setKeyHeld(keys, -1, true);
    setKeyHeld(keys, 109, true);
    EXPECT_FALSE(isKeyHeld(keys, 110));
    EXPECT_FALSE(isKeyHeld(keys, -1));
    EXPECT_TRUE(isKeyHeld(keys, 109));
    setKeyHeld(keys, 109, false);
    EXPECT_FALSE(isKeyHeld(keys, 109));
}

TEST(RotateCar, TurnsHeadingDirectionAndVelocityTogether)
{
    Car car;
    car.velocity = {3, 0, 0};
    rotateCar(car, 90.0f);
    EXPECT_EQ(car.angle, 270.0f);
    EXPECT_NEAR(car.direction.y, 1.0, 1e-15);
    EXPECT_NEAR(car.direction.x, 0.0, 1e-7);
    EXPECT_NEAR(car.velocity.y, 3.0, 1e-15);
}

TEST(Collisions, TouchingIsNoHitButOverlapIs)
{
    Car car;
    car.radius = 1.0f;
    car.position = {3, 0, 0};
    EXPECT_FALSE(sphereHitsBox(Vec3{0, 0, 0}, Vec3{4, 4, 4}, car));
    car.position = {2.999, 0, 0};
    EXPECT_TRUE(sphereHitsBox(Vec3{0, 0, 0}, Vec3{4, 4, 4}, car));
    car.position = {2.7, 2.7, 0};  // near the box's edge, diagonal distance 0.99
    EXPECT_TRUE(sphereHitsBox(Vec3{0, 0, 0}, Vec3{4, 4, 4}, car));
    car.position = {2.8, 2.8, 0};
    EXPECT_FALSE(sphereHitsBox(Vec3{0, 0, 0}, Vec3{4, 4, 4}, car));
}

TEST(Collisions, InsideZeroRadiusAndPointBoxes)
{
    Car car;
    car.position = {0.5, 0.5, 0.5};
    car.radius = 0.001f;
    EXPECT_TRUE(sphereHitsBox(Vec3{}, Vec3{4, 4, 4}, car));
    car.radius = 0.0f;
    EXPECT_FALSE(sphereHitsBox(Vec3{}, Vec3{4, 4, 4}, car));
    car.radius = 1.0f;
    car.position = {0.99, 0, 0};
    EXPECT_TRUE(sphereHitsBox(Vec3{}, Vec3{}, car));
    car.position = {1.0, 0, 0};
    EXPECT_FALSE(sphereHitsBox(Vec3{}, Vec3{}, car));
}

TEST(Collisions, HitStopsCarAtStartAndLosesThrust)
{
    World world;
    world.player.mass = 100.0f;
    world.player.velocity = {3, 0, 0};
    world.boxes.push_back(Box{{10, 0, 0}, {4, 4, 4}});
    world.collisionBoxes.push_back(CollisionBox{{10, 0, 0}, {4, 4, 4}});
    world.player.position = {4, 0, 0};
    drive(world, held({kKeyUp}));  // 3 + 5 - friction = 7.825, reaching x = 11.8
    EXPECT_EQ(world.player.position, (Vec3{4, 0, 0}));
    EXPECT_EQ(world.player.velocity, (Vec3{}));
    EXPECT_EQ(world.player.force, (Vec3{}));
}

TEST(Collisions, OpponentBoxIsAxisAlignedAndSizedByScale)
{
    World world;
    world.opponent.position = {10, 0, 0};
    world.opponent.scale = {4, 4, 4};
    rotateCar(world.opponent, 45.0f);
    world.player.position = {7.5, 1.9, 0};  // inside the unturned box's reach only
    EXPECT_TRUE(resolvePlayerCollisions(world, Vec3{1, 1, 1}) == false);
    world.opponentPresent = true;
    EXPECT_TRUE(resolvePlayerCollisions(world, Vec3{1, 1, 1}));
    EXPECT_EQ(world.player.position, (Vec3{1, 1, 1}));
}
