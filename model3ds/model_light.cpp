#include "model3ds/model_light.h"

void ModelLight::clearLight() {
  position_ = {};
  color_ = {};
  spot_ = false;
}

void ModelLight::setPosition(float x, float y, float z) { position_ = {x, y, z}; }
ModelVector ModelLight::position() const { return position_; }
void ModelLight::setColor(float r, float g, float b) { color_ = {r, g, b}; }
ModelVector ModelLight::color() const { return color_; }
void ModelLight::setSpot(bool spot) { spot_ = spot; }
bool ModelLight::isSpot() const { return spot_; }
void ModelLight::setTarget(float x, float y, float z) { target_ = {x, y, z}; }
ModelVector ModelLight::target() const { return target_; }
void ModelLight::setHotspot(float value) { hotspot_ = value; }
float ModelLight::hotspot() const { return hotspot_; }
void ModelLight::setFalloff(float value) { falloff_ = value; }
float ModelLight::falloff() const { return falloff_; }
