#include "step_json.h"

#include "json_line.h"
#include "world/race_rules.h"

namespace {

const JsonLineStyle kStepStyle{",", ":", 17};

// Members are added in the order the line has always had.
JsonDocument vec3Json(const Vec3& v)
{
    JsonDocument out;
    out["x"] = v.x;
    out["y"] = v.y;
    out["z"] = v.z;
    return out;
}

JsonDocument playerJson(const Car& car)
{
    JsonDocument out;
    out["position"] = vec3Json(car.position);
    out["velocity"] = vec3Json(car.velocity);
    out["direction"] = vec3Json(car.direction);
    out["force"] = vec3Json(car.force);
    out["angle"] = static_cast<double>(car.angle);
    return out;
}

void addOpponent(const World& world, JsonDocument& line)
{
    JsonDocument car;
    car["position"] = vec3Json(world.opponent.position);
    car["direction"] = vec3Json(world.opponent.direction);
    car["angle"] = static_cast<double>(world.opponent.angle);
    line["opponent"] = car;
    line["routeIndex"] = world.routeIndex;
    line["lastRouteIndex"] = world.lastRouteIndex;
    line["opponentLaps"] = world.opponentLaps;
}

}  // namespace

std::string stepJson(int64_t step, const World& world)
{
    JsonDocument line;
    line["step"] = step;
    line["state"] = raceStateName(raceStateOf(world));
    line["raceStarted"] = world.raceStarted;
    line["player"] = playerJson(world.player);
    line["playerLap"] = world.playerLap;
    line["lastCheckpoint"] = world.lastCheckpoint;
    line["bestLapTime"] = world.bestLapTime;
    line["lastLapTime"] = world.lastLapTime;
    if (world.opponentPresent) {
        addOpponent(world, line);
    }
    return jsonLine(line, kStepStyle);
}
