#include "render/rgb_image.h"

#include <cstdlib>
#include <new>

RgbImage* createRgbImage(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return nullptr;
  size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
  auto* pixels = static_cast<unsigned char*>(std::calloc(bytes, 1));
  if (!pixels) return nullptr;
  auto* image = new (std::nothrow) RgbImage;
  if (!image) {
    std::free(pixels);
    return nullptr;
  }
  image->width = width;
  image->height = height;
  image->pixels = pixels;
  return image;
}

void freeRgbImage(RgbImage* image) {
  if (!image) return;
  std::free(image->pixels);
  delete image;
}
