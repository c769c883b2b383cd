#include "step_json.h"

#include "world/race_rules.h"

#include <cmath>
#include <cstdio>

std::string jsonNumber(double value)
{
    if (!std::isfinite(value)) {
        return "null";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

static std::string jsonVec3(const Vec3& v)
{
    return "{\"x\":" + jsonNumber(v.x) + ",\"y\":" + jsonNumber(v.y) + ",\"z\":" + jsonNumber(v.z) + "}";
}

static std::string field(const char* name, const std::string& value)
{
    return std::string("\"") + name + "\":" + value;
}

static std::string playerJson(const Car& car)
{
    return "{" + field("position", jsonVec3(car.position)) + "," + field("velocity", jsonVec3(car.velocity)) + "," +
           field("direction", jsonVec3(car.direction)) + "," + field("force", jsonVec3(car.force)) + "," +
           field("angle", jsonNumber(car.angle)) + "}";
}

static std::string opponentJson(const World& world)
{
    const Car& car = world.opponent;
    return "," + field("opponent", "{" + field("position", jsonVec3(car.position)) + "," +
                                        field("direction", jsonVec3(car.direction)) + "," +
                                        field("angle", jsonNumber(car.angle)) + "}") +
           "," + field("routeIndex", std::to_string(world.routeIndex)) + "," +
           field("lastRouteIndex", std::to_string(world.lastRouteIndex)) + "," +
           field("opponentLaps", std::to_string(world.opponentLaps));
}

std::string stepJson(int64_t step, const World& world)
{
    std::string line = "{" + field("step", std::to_string(step)) + "," +
                       field("state", std::string("\"") + raceStateName(raceStateOf(world)) + "\"") + "," +
                       field("raceStarted", world.raceStarted ? "true" : "false") + "," +
                       field("player", playerJson(world.player)) + "," +
                       field("playerLap", std::to_string(world.playerLap)) + "," +
                       field("lastCheckpoint", std::to_string(world.lastCheckpoint)) + "," +
                       field("bestLapTime", std::to_string(world.bestLapTime)) + "," +
                       field("lastLapTime", std::to_string(world.lastLapTime));
    if (world.opponentPresent) {
        line += opponentJson(world);
    }
    return line + "}";
}
