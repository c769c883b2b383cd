#include "world/collisions.h"

static double clampToHalfExtent(double d, double size)
{
    const double h = size * 0.5;
    const double lower = size * -0.5;
    if (d < lower) {
        return lower;
    }
    if (d > h) {
        return h;
    }
    return d;
}

bool sphereHitsBox(const Vec3& centre, const Vec3& size, const Car& car)
{
    const Vec3 d = car.position - centre;
    const Vec3 nearest{clampToHalfExtent(d.x, size.x), clampToHalfExtent(d.y, size.y),
                       clampToHalfExtent(d.z, size.z)};
    const Vec3 e = d - nearest;
    const float radiusSquared = car.radius * car.radius;
    return e.x * e.x + e.y * e.y + e.z * e.z < radiusSquared;
}

static void stopAt(Car& car, const Vec3& start)
{
    car.position = start;
    car.velocity = Vec3{};
}

template <typename BoxList>
static bool resolveAgainst(const BoxList& boxes, Car& car, const Vec3& start)
{
    for (const auto& box : boxes) {
        if (sphereHitsBox(box, car)) {
            stopAt(car, start);
            return true;
        }
    }
    return false;
}

bool resolvePlayerCollisions(World& world, const Vec3& start)
{
    Car& player = world.player;
    bool hit = resolveAgainst(world.boxes, player, start);
    hit = resolveAgainst(world.collisionBoxes, player, start) || hit;
    if (world.opponentPresent && sphereHitsBox(world.opponent.position, world.opponent.scale, player)) {
        stopAt(player, start);
        hit = true;
    }
    return hit;
}
