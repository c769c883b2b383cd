// The scene loader and the race world on arbitrary scene files: every file is
// accepted or refused with a reason, every accepted scene written back with a
// box, a wall and a checkpoint more reads back with them, and every accepted
// scene survives a race driven by a fixed key script (physics, collisions,
// lap rules, opponent).
#include "fuzz_check.h"
#include "fuzz_memory_file.h"

#include "world/keys.h"
#include "world/race_rules.h"
#include "world/race_setup.h"
#include "world/scene_check.h"
#include "world/scene_edit.h"
#include "world/scene_reader.h"
#include "world/scene_writer.h"
#include "world/world_step.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr int kRaceSteps = 400;

// The loader reads from a path; a memory file gives it one without disk writes.
struct MemoryFile {
    int fd = -1;
    std::string path;
};

const MemoryFile& sceneFile()
{
    static const MemoryFile file = [] {
        MemoryFile made;
        made.fd = memfd_create("rovanta-fuzz-scene", 0);
        fuzzCheck(made.fd >= 0, "cannot create the memory file");
        made.path = "/proc/self/fd/" + std::to_string(made.fd);
        return made;
    }();
    return file;
}

void writeSceneFile(const uint8_t* data, size_t size)
{
    const int fd = sceneFile().fd;
    fuzzCheck(ftruncate(fd, 0) == 0, "cannot empty the memory file");
    size_t written = 0;
    while (written < size) {
        const ssize_t n = pwrite(fd, data + written, size - written, static_cast<off_t>(written));
        fuzzCheck(n > 0, "cannot write the memory file");
        written += static_cast<size_t>(n);
    }
}

// Mostly thrust with phases of steering and braking, so that the car meets
// boxes, checkpoints and the opponent on most scenes.
KeyTable scriptedKeys(int step)
{
    KeyTable keys;
    setKeyHeld(keys, kKeyUp, step % 100 < 80);
    setKeyHeld(keys, kKeyDown, step % 100 >= 90);
    setKeyHeld(keys, kKeyLeft, (step / 25) % 4 == 1);
    setKeyHeld(keys, kKeyRight, (step / 25) % 4 == 3);
    return keys;
}

bool routeHasIndex(const World& world, int32_t index)
{
    return std::any_of(world.route.begin(), world.route.end(),
                       [index](const RoutePoint& point) { return point.index == index; });
}

void checkRaceInvariants(const World& world)
{
    fuzzCheck(world.playerLap >= 1 && world.playerLap <= kWinningLap, "player lap out of range");
    fuzzCheck(world.opponentLaps >= 0 && world.opponentLaps < kWinningLap, "opponent laps out of range");
    fuzzCheck(!world.opponentPresent || routeHasIndex(world, world.routeIndex), "opponent heads for no route point");
}

// A refusal at a line names it as "<path>:<line>: "; the line must exist.
void checkReasonLine(const std::string& reason, const uint8_t* data, size_t size)
{
    const std::string prefix = sceneFile().path + ":";
    const bool namesLine = reason.rfind(prefix, 0) == 0 && reason.size() > prefix.size() &&
                           std::isdigit(static_cast<unsigned char>(reason[prefix.size()]));
    if (!namesLine) {
        return;
    }
    const long line = std::strtol(reason.c_str() + prefix.size(), nullptr, 10);
    const long lines = 1 + std::count(data, data + size, '\n');
    fuzzCheck(line >= 1 && line <= lines, "refusal names a line the file does not have");
}

// A pipe, or a file grown past the size limit, is refused unread, naming it.
void checkRefusedUnread(const std::string& path, const char* why)
{
    World world;
    std::string reason;
    fuzzCheck(!loadRaceScene(world, path, {}, reason), "loaded a scene file it must not read");
    fuzzCheck(reason.find(path) != std::string::npos && reason.find(why) != std::string::npos,
              "refused an unreadable scene file without naming it and the cause");
}

template <typename Record>
bool sameLast(const std::vector<Record>& a, const std::vector<Record>& b)
{
    return a.size() == b.size() && a.back().centre == b.back().centre && a.back().size == b.back().size;
}

// Leaves the world as it was loaded.
void checkEditedSceneReloads(World& world, const SceneLayout& layout)
{
    SceneEdits edits;
    std::string why;
    const std::vector<PickedPoint> corners = {{-12.5f, 3.0f, 0.0f}, {40.0f, 61.25f, 0.0f}};
    for (MadeKind kind : {MadeKind::Occluder, MadeKind::Wall, MadeKind::Checkpoint}) {
        fuzzCheck(makeFromPoints(world, edits, kind, corners, why) || kind == MadeKind::Checkpoint,
                  "cannot make a box from two corners");
    }
    const std::string text = editedSceneText(layout, world);
    writeSceneFile(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    World again;
    fuzzCheck(loadRaceScene(again, sceneFile().path, {}, why), "a scene written back does not load");
    fuzzCheck(sameLast(again.boxes, world.boxes) && sameLast(again.collisionBoxes, world.collisionBoxes) &&
                  sameLast(again.checkpoints, world.checkpoints) &&
                  again.checkpoints.back().number == world.checkpoints.back().number,
              "a scene written back lost or changed what was made");
    fuzzCheck(again.route.size() == world.route.size() && again.patternPath == world.patternPath,
              "a scene written back changed what was not made");
    while (removeLastMade(world, edits)) {
    }
}

void race(World& world)
{
    placeCarsForRace(world);
    for (int step = 0; step < kRaceSteps && raceStateOf(world) == RaceState::Race; ++step) {
        stepWorld(world, scriptedKeys(step), step / 30);
        checkRaceInvariants(world);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (fuzzPicks(data, size, 1, 64)) {
        checkRefusedUnread(fuzzPipePath(), "a named pipe, not a regular file");
    }
    writeSceneFile(data, size);
    if (fuzzPicks(data, size, 2, 64)) {
        fuzzCheck(ftruncate(sceneFile().fd, static_cast<off_t>(kMaxSceneFileSize) + 1) == 0, "cannot grow the file");
        checkRefusedUnread(sceneFile().path, "larger than 16 MB");
        return 0;
    }
    World world;
    std::string reason;
    SceneLayout layout;
    const bool loaded = loadRaceScene(world, sceneFile().path, {}, reason, &layout);
    if (!loaded) {
        fuzzCheck(reason.find(sceneFile().path) != std::string::npos, "refusal does not name the scene file");
        checkReasonLine(reason, data, size);
        return 0;
    }
    fuzzCheck(reason.empty(), "accepted with a reason");
    fuzzCheck(!world.checkpoints.empty(), "accepted a scene without checkpoints");
    checkEditedSceneReloads(world, layout);
    race(world);
    return 0;
}
