#pragma once

#include "model3ds/model3ds.h"
#include "render/texture_record.h"
#include "world/vec3.h"

#include <cstdint>

// Axis-aligned boxes: the box spans centre +- size/2 (full edge lengths).
struct Box {
    Vec3 centre;
    Vec3 size;
};

struct CollisionBox {
    Vec3 centre;
    Vec3 size;
};

struct Checkpoint {
    Vec3 centre;
    Vec3 size;
    bool passed = false;
    int32_t number = 0;
};

struct RoutePoint {
    Vec3 position;
    float speed = 0.0f;  // world units per step
    int32_t index = -1;  // -1 until its ROUTE-POINT line is read
};

struct PickedPoint {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

struct Car {
    Vec3 position;
    Vec3 scale;  // model scale; for the opponent also its obstacle box size
    Vec3 velocity;
    Vec3 force;
    Vec3 direction{1.0, 0.0, 0.0};
    float radius = 1.0f;
    float angle = 180.0f;  // heading in degrees, 180 away from direction
    float mass = 1.0f;
    Texture texture;  // made by the game once a window exists
    Model3ds model;   // loaded by the scene loader at the car's MODEL line
};
