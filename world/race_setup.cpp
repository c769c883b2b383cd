#include "world/race_setup.h"

#include "world/list_search.h"

static void startFromLowestCheckpoint(World& world)
{
    auto first = firstWithSmallest(world.checkpoints, [](const Checkpoint& c) { return c.number; });
    if (first != world.checkpoints.end()) {
        world.lastCheckpoint = first->number;
    }
}

static void putOpponentOnRoute(World& world)
{
    auto indexOf = [](const RoutePoint& point) { return point.index; };
    auto last = firstWithLargest(world.route, indexOf);
    auto first = firstWithSmallest(world.route, indexOf);
    if (first == world.route.end()) {
        return;
    }
    world.lastRouteIndex = last->index;
    world.routeIndex = first->index;
    world.opponent.position = first->position;
}

void placeCarsForRace(World& world)
{
    startFromLowestCheckpoint(world);
    if (world.opponentPresent) {
        putOpponentOnRoute(world);
    }
}
