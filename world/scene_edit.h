#pragma once
// Building a scene at the table: occluder boxes, walls and checkpoints made
// from points picked on the table, made higher or lower, and taken back in
// the reverse order of their making.
#include "world/world.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

enum class MadeKind { Occluder, Wall, Checkpoint };

// What was made, last on top. Each made record is appended to its list in the
// world, and only the last made is ever removed, so every entry here is the
// last of its kind in its list.
struct SceneEdits {
    std::vector<MadeKind> made;
};

// Heights in scene units (millimetres with the marker printed 80 mm wide).
inline constexpr double kOccluderHeight = 50.0;
inline constexpr double kWallHeight = 20.0;
inline constexpr double kCheckpointHeight = 10.0;
inline constexpr double kHeightStep = 5.0;

// Appends a record whose footprint is the points' bounding rectangle on the
// table (x and y; boxes stand on the table, checkpoints straddle it as the
// scene's own do). A checkpoint takes the number after the largest there is.
// False, with why, for fewer than two points or a rectangle without area.
bool makeFromPoints(World& world, SceneEdits& edits, MadeKind kind, const std::vector<PickedPoint>& points,
                    std::string& why);

struct RaisedBox {
    MadeKind kind = MadeKind::Occluder;
    std::size_t index = 0;  // in its list
    double height = 0;
};

// The last made occluder or wall, made `by` higher (lower when negative) but
// never lower than one step; nothing when none was made.
std::optional<RaisedBox> raiseLastBox(World& world, const SceneEdits& edits, double by);

// Removes the last thing made; false when nothing made is left.
bool removeLastMade(World& world, SceneEdits& edits, MadeKind* removed = nullptr);

// Where the line from `near` through `far` meets the table (z = 0) on the far
// side of `near`; false when it runs parallel to the table or away from it.
bool tablePointOnRay(const Vec3& near, const Vec3& far, Vec3& point);
