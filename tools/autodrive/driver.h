#pragma once

#include "world/keys.h"
#include "world/world.h"

// A simple race driver: steers towards the checkpoint that is due next and
// holds UP or DOWN to keep a target speed along its heading.
struct DriverSettings {
    double targetSpeed = 1.0;  // world units per step
    double brakeMargin = 0.5;  // DOWN only when this much too fast
    float steerDeadband = 2.5f;  // half a steering step: closer than this, go straight
};

// The checkpoint the lap rules test next: the first unpassed one numbered
// lastCheckpoint + 1; when there is none the lap completes in the next step
// and the lowest-numbered checkpoint starts the next lap. Null without checkpoints.
const Checkpoint* checkpointToAimAt(const World& world);

// Angle from the car's direction to the target in the table plane, in degrees
// in (-180, 180]: positive when the target lies to the left (counter-clockwise).
double headingErrorDegrees(const Car& car, const Vec3& target);

// Speed along the car's direction; negative when it rolls backwards.
double forwardSpeed(const Car& car);

KeyTable chooseKeys(const World& world, const DriverSettings& settings);
