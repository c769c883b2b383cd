#include "world/opponent.h"

#include "world/car_physics.h"
#include "world/list_search.h"

#include <cstdint>

static int32_t indexOf(const RoutePoint& point) { return point.index; }

static const RoutePoint* findCurrentPoint(const World& world)
{
    for (const RoutePoint& point : world.route) {
        if (point.index == world.routeIndex) {
            return &point;
        }
    }
    return nullptr;
}

static const RoutePoint& findTargetPoint(const World& world, const RoutePoint& current)
{
    const RoutePoint* next = &current + 1;
    const bool wrap = world.routeIndex == world.lastRouteIndex || next == world.route.data() + world.route.size();
    return wrap ? *firstWithSmallest(world.route, indexOf) : *next;
}

static void turnTowards(Car& car, const Vec3& toTarget)
{
    // NaN when rounding pushes the cosine past 1; the comparison below then fails.
    const float turn = static_cast<float>(radToDeg(angleBetween(toTarget, car.direction)));
    if (turn > kOpponentTurnThreshold) {
        rotateCar(car, turn);
    }
}

static void advanceRouteIndex(World& world)
{
    const int64_t next = int64_t{world.routeIndex} + 1;
    if (next > world.lastRouteIndex) {
        world.routeIndex = firstWithSmallest(world.route, indexOf)->index;
        world.opponentLaps += 1;
    } else {
        world.routeIndex = static_cast<int32_t>(next);
    }
}

// Pulls a car that has strayed far from its segment back onto the segment's line.
static Vec3 correctOffRoute(const Vec3& position, const RoutePoint& current, const RoutePoint& target)
{
    const double distance = length(target.position - position);
    const double segment = length(current.position - target.position);
    if (2 * segment < distance) {
        return current.position + projectOnto(position - current.position, current.position - target.position);
    }
    return position;
}

void stepOpponent(World& world)
{
    const RoutePoint* current = findCurrentPoint(world);
    if (current == nullptr) {
        return;  // no point carries routeIndex: nothing sensible to drive to
    }
    const RoutePoint& target = findTargetPoint(world, *current);
    Car& car = world.opponent;
    Vec3 position = car.position;
    Vec3 toTarget = target.position - position;
    normalize(toTarget);
    turnTowards(car, toTarget);
    const double distance = length(target.position - position);
    if (current->speed >= distance) {
        position = target.position;
        advanceRouteIndex(world);
    } else {
        position = position + current->speed * toTarget;
    }
    car.position = correctOffRoute(position, *current, target);
}
