#pragma once
#include <cstdint>

// A named object of a model (mesh or light). Owns a heap copy of its name.
class ModelObject {
 public:
  ModelObject() = default;
  ModelObject(const ModelObject& other);
  ModelObject& operator=(const ModelObject& other);
  virtual ~ModelObject();

  // Replaces the name with a copy of text (nullptr removes it).
  virtual void setName(const char* text);
  // Copies at most capacity bytes including the terminator; returns
  // min(nameSize, capacity).
  virtual int copyName(char* buffer, int capacity) const;

  const char* name() const { return name_; }
  int32_t nameSize() const { return nameSize_; }

 private:
  char* name_ = nullptr;
  int32_t nameSize_ = 0;
};
