#include "world/scene_edit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// Values pass through float, as the loader reads them back from the file.
double asFloat(double value) { return static_cast<float>(value); }

// Picked corners keep a tenth of a unit, the scene files' precision in
// practice, counted in whole tenths so that sizes come out exact.
double tenths(double value) { return std::round(value * 10.0); }

struct Footprint {
    double minX = std::numeric_limits<double>::infinity(), minY = minX;
    double maxX = -minX, maxY = -minX;
};

bool footprintOf(const std::vector<PickedPoint>& points, Footprint& f, std::string& why) {
    if (points.size() < 2) {
        why = "needs at least two table points picked (left click) since the last box or checkpoint";
        return false;
    }
    for (const PickedPoint& p : points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
            why = "a picked point is not a point on the table";
            return false;
        }
        f.minX = std::min(f.minX, tenths(p.x));
        f.maxX = std::max(f.maxX, tenths(p.x));
        f.minY = std::min(f.minY, tenths(p.y));
        f.maxY = std::max(f.maxY, tenths(p.y));
    }
    if (f.maxX <= f.minX || f.maxY <= f.minY) {
        why = "the picked points span no area on the table (pick opposite corners)";
        return false;
    }
    return true;
}

template <typename Record>
Record standingOn(const Footprint& f, double height) {
    Record record;
    record.centre = Vec3{asFloat((f.minX + f.maxX) / 20), asFloat((f.minY + f.maxY) / 20), height / 2};
    record.size = Vec3{asFloat((f.maxX - f.minX) / 10), asFloat((f.maxY - f.minY) / 10), height};
    return record;
}

bool nextCheckpointNumber(const World& world, int32_t& number, std::string& why) {
    int64_t largest = -1;
    for (const Checkpoint& c : world.checkpoints) largest = std::max<int64_t>(largest, c.number);
    if (largest >= std::numeric_limits<int32_t>::max()) {
        why = "no checkpoint number is left after " + std::to_string(largest);
        return false;
    }
    number = static_cast<int32_t>(largest + 1);
    return true;
}

template <typename Record>
RaisedBox raised(std::vector<Record>& list, MadeKind kind, double by) {
    Record& box = list.back();
    box.size.z = std::max(kHeightStep, box.size.z + by);
    box.centre.z = box.size.z / 2;
    return RaisedBox{kind, list.size() - 1, box.size.z};
}

}  // namespace

bool makeFromPoints(World& world, SceneEdits& edits, MadeKind kind, const std::vector<PickedPoint>& points,
                    std::string& why) {
    Footprint f;
    if (!footprintOf(points, f, why)) return false;
    switch (kind) {
        case MadeKind::Occluder: world.boxes.push_back(standingOn<Box>(f, kOccluderHeight)); break;
        case MadeKind::Wall: world.collisionBoxes.push_back(standingOn<CollisionBox>(f, kWallHeight)); break;
        case MadeKind::Checkpoint: {
            Checkpoint checkpoint = standingOn<Checkpoint>(f, kCheckpointHeight);
            if (!nextCheckpointNumber(world, checkpoint.number, why)) return false;
            checkpoint.centre.z = 0;
            world.checkpoints.push_back(checkpoint);
            break;
        }
    }
    edits.made.push_back(kind);
    return true;
}

std::optional<RaisedBox> raiseLastBox(World& world, const SceneEdits& edits, double by) {
    const auto last = std::find_if(edits.made.rbegin(), edits.made.rend(),
                                   [](MadeKind k) { return k != MadeKind::Checkpoint; });
    if (last == edits.made.rend()) return std::nullopt;
    if (*last == MadeKind::Occluder) return raised(world.boxes, MadeKind::Occluder, by);
    return raised(world.collisionBoxes, MadeKind::Wall, by);
}

bool removeLastMade(World& world, SceneEdits& edits, MadeKind* removed) {
    if (edits.made.empty()) return false;
    const MadeKind kind = edits.made.back();
    edits.made.pop_back();
    switch (kind) {
        case MadeKind::Occluder: world.boxes.pop_back(); break;
        case MadeKind::Wall: world.collisionBoxes.pop_back(); break;
        case MadeKind::Checkpoint: world.checkpoints.pop_back(); break;
    }
    if (removed) *removed = kind;
    return true;
}

bool tablePointOnRay(const Vec3& near, const Vec3& far, Vec3& point) {
    const double dz = far.z - near.z;
    if (dz == 0.0 || !std::isfinite(dz)) return false;
    const double t = -near.z / dz;
    if (!(t >= 0.0)) return false;
    point = Vec3{near.x + t * (far.x - near.x), near.y + t * (far.y - near.y), 0.0};
    return true;
}
