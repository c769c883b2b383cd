#pragma once

#include "world/keys.h"
#include "world/world.h"

#include <cstdint>

inline constexpr float kSteeringStep = 5.0f;
inline constexpr double kForwardThrust = 100.0;
inline constexpr double kReverseThrust = 350.0;
inline constexpr double kFrictionFactor = 0.035;
inline constexpr double kFrictionThreshold = 0.1;
inline constexpr double kForceGain = 5.0;
inline constexpr double kTimeStep = 1.0;
inline constexpr double kMaxSpeed = 40.0;

// Turns heading, direction and velocity together by the same angle.
void rotateCar(Car& car, float degrees);

// Steering and thrust from the held keys. The first UP or DOWN starts the race;
// the lap clock reading of that moment times the first lap.
void applyPlayerControls(World& world, const KeyTable& keys, int64_t nowSeconds);

// One step of friction, integration, speed cap and collision response.
void stepPlayerPhysics(World& world);
