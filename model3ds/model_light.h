#pragma once
#include "model3ds/model_object.h"
#include "model3ds/model_types.h"

// A light of the model: kept as read, used by nothing in the game.
class ModelLight : public ModelObject {
 public:
  ModelLight() = default;

  virtual void clearLight();
  virtual void setPosition(float x, float y, float z);
  virtual ModelVector position() const;
  virtual void setColor(float r, float g, float b);
  virtual ModelVector color() const;
  virtual void setSpot(bool spot);
  virtual bool isSpot() const;
  virtual void setTarget(float x, float y, float z);
  virtual ModelVector target() const;
  virtual void setHotspot(float value);
  virtual float hotspot() const;
  virtual void setFalloff(float value);
  virtual float falloff() const;

 private:
  ModelVector position_;
  ModelVector color_;
  bool spot_ = false;
  ModelVector target_;
  float hotspot_ = 0;
  float falloff_ = 0;
};
