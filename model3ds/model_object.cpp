#include "model3ds/model_object.h"

#include <algorithm>
#include <cstring>
#include <new>

ModelObject::ModelObject(const ModelObject& other) { setName(other.name_); }

ModelObject& ModelObject::operator=(const ModelObject& other) {
  if (this != &other) setName(other.name_);
  return *this;
}

ModelObject::~ModelObject() { delete[] name_; }

void ModelObject::setName(const char* text) {
  char* copy = nullptr;
  int32_t size = 0;
  if (text) {
    size_t length = std::strlen(text);
    copy = new (std::nothrow) char[length + 1];
    if (copy) {
      std::memcpy(copy, text, length + 1);
      size = static_cast<int32_t>(length + 1);
    }
  }
  delete[] name_;
  name_ = copy;
  nameSize_ = size;
}

int ModelObject::copyName(char* buffer, int capacity) const {
  if (!buffer || capacity <= 0) return 0;
  int count = std::min(nameSize_, capacity);
  if (count > 0) std::memcpy(buffer, name_, static_cast<size_t>(count - 1));
  buffer[count > 0 ? count - 1 : 0] = '\0';
  return count;
}
