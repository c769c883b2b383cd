#include "world/scene_loader.h"

#include "world/car_physics.h"
#include "world/scene_reader.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <utility>

static const char kCameraConfig[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><video_input><camera show_format_dialog=\"true\" "
    "friendly_name=\"default\"><pixel_format><RGB32 flip_h=\"false\" flip_v=\"true\"/></pixel_format>"
    "</camera></video_input>";
static const char kFileConfigHead[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><video_input><avi_file file_name=\"";
static const char kFileConfigTail[] =
    "\" loop_avi=\"true\"><pixel_format><RGB32 flip_h=\"false\" flip_v=\"true\"/></pixel_format>"
    "</avi_file></video_input>";

// A file name may hold any character but white space; those that would end
// the attribute or start markup are written as entities.
static std::string escapedForAttribute(const std::string& text)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '"': escaped += "&quot;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

std::string videoConfigFor(const std::string& token)
{
    if (token.compare(0, 6, "CAMERA") == 0) {
        return kCameraConfig;
    }
    std::string config = kFileConfigHead + escapedForAttribute(token) + kFileConfigTail;
    if (config.size() >= kVideoConfigCapacity) {
        return {};
    }
    return config;
}

static bool readVideo(SceneReader& reader, World& world)
{
    std::string token;
    if (!readText(reader, "VIDEO", kVideoConfigCapacity - 1, token)) {
        return false;
    }
    std::string config = videoConfigFor(token);
    if (config.empty()) {
        const std::size_t room = kVideoConfigCapacity - 1 - (sizeof kFileConfigHead - 1) - (sizeof kFileConfigTail - 1);
        failAtLastLine(reader, "VIDEO value too long for the video configuration (at most " +
                                   std::to_string(room) + " characters, & counting 5, \" 6, < and > 4)");
        return false;
    }
    world.videoConfig = config;
    world.videoLine = lastLinePlace(reader) + ": VIDEO " + token;
    return true;
}

static bool readHeader(SceneReader& reader, World& world)
{
    return readWords(reader, "SCENE-V-0.0.1") && readVideo(reader, world) &&
           readText(reader, "CAMERA", kPathCapacity - 1, world.cameraParamPath) &&
           readText(reader, "PATTERN", kPathCapacity - 1, world.patternPath);
}

// The count as written: after white space, a sign and digits.
static void placeCount(const std::string& text, std::size_t at, SceneSectionPlace& place)
{
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) {
        ++at;
    }
    place.countBegin = at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        ++at;
    }
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
        ++at;
    }
    place.countEnd = at;
}

// A negative count reads as no entries, as it always has; it is noted so that
// start-up can refuse the scene instead of racing on a half-read track.
static bool readCount(SceneReader& reader, const char* keyword, SceneSectionPlace& place)
{
    const long before = std::ftell(reader.file);
    int32_t& count = place.count;
    if (!readInt(reader, keyword, count)) {
        return false;
    }
    placeCount(reader.content, static_cast<std::size_t>(before) + std::strlen(keyword), place);
    if (count < 0 && reader.refusedValue.empty()) {
        reader.refusedValue = lastLinePlace(reader) + ": expected \"" + std::string(keyword) +
                               " %d\" with a count of 0 or more, not " + std::to_string(count);
    }
    return true;
}

template <typename BoxRecord>
static bool readBoxes(SceneReader& reader, const char* countKeyword, std::vector<BoxRecord>& list,
                      SceneSectionPlace& place)
{
    if (!readCount(reader, countKeyword, place)) {
        return false;
    }
    for (int32_t i = 0; i < place.count; ++i) {
        BoxRecord box;
        if (!readSkippedInt(reader, "BOX") || !readVec3(reader, "POSITION", box.centre) ||
            !readVec3(reader, "SCALE", box.size)) {
            return false;
        }
        list.push_back(box);
    }
    place.end = lastReadEnd(reader);
    return true;
}

static bool readCheckpoints(SceneReader& reader, World& world, SceneSectionPlace& place)
{
    if (!readCount(reader, "CHECKPOINTS", place)) {
        return false;
    }
    for (int32_t i = 0; i < place.count; ++i) {
        Checkpoint checkpoint;
        if (!readInt(reader, "CHECKPOINT", checkpoint.number) ||
            !readVec3(reader, "POSITION", checkpoint.centre) || !readVec3(reader, "SCALE", checkpoint.size)) {
            return false;
        }
        world.checkpoints.push_back(checkpoint);
    }
    place.end = lastReadEnd(reader);
    return true;
}

// The seven lines shared by both cars, from MODEL to MASS.
static bool readCar(SceneReader& reader, Car& car, std::string& texturePath, const ModelLoader& loadModel)
{
    std::string modelPath;
    if (!readText(reader, "MODEL", kModelPathCapacity - 1, modelPath)) {
        return false;
    }
    if (loadModel) {
        loadModel(car, modelPath.c_str());
    } else {
        // A missing or unreadable model leaves the car without meshes; the race still runs.
        car.model.loadModelFile(modelPath.c_str());
    }
    float rotation = 0.0f;
    if (!readText(reader, "TEXTURE", kPathCapacity - 1, texturePath) ||
        !readVec3(reader, "POSITION", car.position) || !readVec3(reader, "SCALE", car.scale) ||
        !readFloat(reader, "RADIUS", car.radius) || !readFloat(reader, "ROTATION", rotation)) {
        return false;
    }
    rotateCar(car, rotation);
    return readFloat(reader, "MASS", car.mass);
}

static bool readRoute(SceneReader& reader, World& world)
{
    SceneSectionPlace place;
    if (!readCount(reader, "ROUTE", place)) {
        return false;
    }
    for (int32_t i = 0; i < place.count; ++i) {
        RoutePoint point;
        if (!readInt(reader, "ROUTE-POINT", point.index) || !readVec3(reader, "POSITION", point.position) ||
            !readFloat(reader, "SPEED", point.speed)) {
            return false;
        }
        world.route.push_back(point);
    }
    return true;
}

static void setRaceStateAfterLoad(World& world)
{
    world.playerLap = 1;
    world.lastCheckpoint = -1;
    world.bestLapTime = 0;
    world.lastLapTime = 0;
    world.routeIndex = 0;
    world.opponentLaps = 0;
    world.raceStarted = false;
}

// Returns whether the opponent section and route were read; a file that ends
// where the OPPONENT-CAR line would be simply has no opponent.
static bool readOptionalOpponent(SceneReader& reader, World& world, const ModelLoader& loadModel)
{
    world.opponentPresent = false;
    const std::string reasonBefore = reader.reason;
    if (!readWords(reader, "OPPONENT-CAR")) {
        reader.reason = reasonBefore;
        return true;
    }
    world.opponentPresent = true;
    return readCar(reader, world.opponent, world.opponentTexturePath, loadModel) && readRoute(reader, world);
}

static bool readScene(SceneReader& reader, World& world, const ModelLoader& loadModel, SceneLayout& layout)
{
    return readHeader(reader, world) && readBoxes(reader, "BOXES", world.boxes, layout.boxes) &&
           readBoxes(reader, "COLLISION-BOXES", world.collisionBoxes, layout.collisionBoxes) &&
           readCheckpoints(reader, world, layout.checkpoints) &&
           readWords(reader, "CAR") && readCar(reader, world.player, world.playerTexturePath, loadModel) &&
           readOptionalOpponent(reader, world, loadModel);
}

SceneLoadResult loadScene(World& world, const std::string& path, const ModelLoader& loadModel)
{
    SceneLoadResult result;
    SceneReader reader;
    if (!openSceneReader(reader, path)) {
        result.reason = reader.reason;
        return result;
    }
    result.opened = true;
    result.complete = readScene(reader, world, loadModel, result.layout);
    result.layout.text = std::move(reader.content);
    result.refusedValue = reader.refusedValue;
    closeSceneReader(reader);
    if (result.complete) {
        setRaceStateAfterLoad(world);
    } else {
        result.reason = reader.reason;
    }
    return result;
}
