#include "world/scene_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <utility>
#include <vector>

static std::string formatNumber(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

static std::string massProblem(const char* carName, float mass)
{
    if (std::isfinite(mass) && mass > 0.0f) {
        return {};
    }
    return std::string(carName) + " MASS must be a positive finite number, not " + formatNumber(mass);
}

// The indices must cover every integer from the smallest to the largest.
static std::string routeGapProblem(const std::vector<RoutePoint>& route)
{
    std::vector<int64_t> indices;
    for (const RoutePoint& point : route) {
        indices.push_back(point.index);
    }
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    for (std::size_t i = 1; i < indices.size(); ++i) {
        if (indices[i] != indices[i - 1] + 1) {
            return "route point indices jump from " + std::to_string(indices[i - 1]) + " to " +
                   std::to_string(indices[i]) + "; they must run without gaps";
        }
    }
    return {};
}

static std::string firstProblem(const World& world)
{
    if (world.checkpoints.empty()) {
        return "the scene has no checkpoints; a race needs at least one";
    }
    std::string problem = massProblem("player car", world.player.mass);
    if (!problem.empty() || !world.opponentPresent) {
        return problem;
    }
    problem = massProblem("opponent car", world.opponent.mass);
    if (!problem.empty()) {
        return problem;
    }
    if (world.route.empty()) {
        return "the opponent car has no route points";
    }
    return routeGapProblem(world.route);
}

std::string sceneProblem(const World& world, const std::string& path)
{
    const std::string problem = firstProblem(world);
    return problem.empty() ? problem : path + ": " + problem;
}

bool loadRaceScene(World& world, const std::string& path, const ModelLoader& loadModel, std::string& reason,
                   SceneLayout* layout)
{
    resetWorld(world);
    if (path.size() > kPathCapacity - 1) {
        reason = "scene path longer than " + std::to_string(kPathCapacity - 1) + " characters: " + path;
        return false;
    }
    SceneLoadResult loaded = loadScene(world, path, loadModel);
    if (layout != nullptr) {
        *layout = std::move(loaded.layout);
    }
    if (!loaded.refusedValue.empty()) {
        reason = loaded.refusedValue;
        return false;
    }
    if (!loaded.complete) {
        reason = loaded.reason.empty() ? path + ": loading stopped early" : loaded.reason;
        return false;
    }
    reason = sceneProblem(world, path);
    return reason.empty();
}
