#include "world/car_physics.h"

#include "world/collisions.h"

void rotateCar(Car& car, float degrees)
{
    car.angle = static_cast<float>(static_cast<double>(car.angle) + degrees);
    rotateZ(car.direction, degrees);
    rotateZ(car.velocity, degrees);
}

static void startRace(World& world, int64_t nowSeconds)
{
    if (!world.raceStarted) {
        world.lapStartTime = nowSeconds;
    }
    world.raceStarted = true;
}

void applyPlayerControls(World& world, const KeyTable& keys, int64_t nowSeconds)
{
    Car& car = world.player;
    if (isKeyHeld(keys, kKeyLeft)) {
        rotateCar(car, kSteeringStep);
    }
    if (isKeyHeld(keys, kKeyRight)) {
        rotateCar(car, -kSteeringStep);
    }
    if (isKeyHeld(keys, kKeyUp)) {
        car.force = car.force + kForwardThrust * car.direction;
        startRace(world, nowSeconds);
    }
    if (isKeyHeld(keys, kKeyDown)) {
        car.force = car.force + (-kReverseThrust) * car.direction;
        startRace(world, nowSeconds);
    }
}

static void integrate(Car& car)
{
    if (length(car.velocity) > kFrictionThreshold) {
        car.force = car.force + (car.mass * -kFrictionFactor) * normalized(car.velocity);
    }
    const Vec3 acceleration = (kForceGain * car.force) / car.mass;
    car.velocity = car.velocity + acceleration * kTimeStep;
    if (length(car.velocity) > kMaxSpeed) {
        car.velocity = kMaxSpeed * normalized(car.velocity);
    }
}

void stepPlayerPhysics(World& world)
{
    Car& car = world.player;
    const Vec3 start = car.position;
    integrate(car);
    car.position = start + car.velocity * kTimeStep;
    car.force = Vec3{};
    resolvePlayerCollisions(world, start);
}
