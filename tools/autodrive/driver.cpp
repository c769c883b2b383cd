#include "driver.h"

#include "world/list_search.h"

#include <cmath>

const Checkpoint* checkpointToAimAt(const World& world)
{
    const int32_t due = world.lastCheckpoint + 1;
    for (const Checkpoint& checkpoint : world.checkpoints) {
        if (!checkpoint.passed && checkpoint.number == due) {
            return &checkpoint;
        }
    }
    auto first = firstWithSmallest(world.checkpoints, [](const Checkpoint& c) { return c.number; });
    return first == world.checkpoints.end() ? nullptr : &*first;
}

double headingErrorDegrees(const Car& car, const Vec3& target)
{
    const double toX = target.x - car.position.x;
    const double toY = target.y - car.position.y;
    const double cross = car.direction.x * toY - car.direction.y * toX;
    const double along = car.direction.x * toX + car.direction.y * toY;
    return radToDeg(std::atan2(cross, along));
}

double forwardSpeed(const Car& car) { return dot(car.velocity, normalized(car.direction)); }

static void steerTowards(const Car& car, const Vec3& target, float deadband, KeyTable& keys)
{
    const double error = headingErrorDegrees(car, target);
    if (error > deadband) {
        setKeyHeld(keys, kKeyLeft, true);
    } else if (error < -deadband) {
        setKeyHeld(keys, kKeyRight, true);
    }
}

static void keepSpeed(const Car& car, const DriverSettings& settings, KeyTable& keys)
{
    const double speed = forwardSpeed(car);
    if (speed < settings.targetSpeed) {
        setKeyHeld(keys, kKeyUp, true);
    } else if (speed > settings.targetSpeed + settings.brakeMargin) {
        setKeyHeld(keys, kKeyDown, true);
    }
}

KeyTable chooseKeys(const World& world, const DriverSettings& settings)
{
    KeyTable keys;
    const Checkpoint* aim = checkpointToAimAt(world);
    if (aim != nullptr) {
        steerTowards(world.player, aim->centre, settings.steerDeadband, keys);
    }
    keepSpeed(world.player, settings, keys);
    return keys;
}
