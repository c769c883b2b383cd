#include "world/world_step.h"

#include "world/car_physics.h"
#include "world/opponent.h"
#include "world/race_rules.h"

void stepWorld(World& world, const KeyTable& keys, int64_t nowSeconds)
{
    applyPlayerControls(world, keys, nowSeconds);
    if (!world.raceStarted) {
        return;
    }
    stepLapRules(world, nowSeconds);
    stepPlayerPhysics(world);
    if (world.opponentPresent) {
        stepOpponent(world);
    }
}
