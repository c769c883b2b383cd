#pragma once
// BMP loading: any common bitmap into an RgbImage (car textures), and the
// raw reader for the full-window screen images.

#include <cstdint>
#include <string>

#include "render/rgb_image.h"

// Returns a new image (free with freeRgbImage), or nullptr after printing the
// reason to standard error. Backslashes in the name act as separators.
// Top-down bitmaps are flipped, so the image's height is always positive.
RgbImage* loadDibImage(const char* name);
RgbImage* loadDibImageWide(const wchar_t* name);

// Size of the last screen image read; one pair for all screen images.
extern int32_t screenImageWidth;
extern int32_t screenImageHeight;

// Reads an uncompressed 24-bit bitmap whose pixel rows start at byte 54 and
// need no padding, as one block of B, G, R bytes, bottom row first, for
// drawing unchanged. Returns nullptr (globals untouched) when the file is
// missing, not a bitmap, or not of that kind; the last two cases print why.
unsigned char* loadScreenImage(const char* name);
void freeScreenImage(unsigned char* pixels);

// Reads `count` screen images in order into `blocks`. They are drawn with one
// shared size, so an image whose size differs from the first is refused like
// an unreadable one: all blocks are freed (nullptr) and `why` names the file.
bool loadScreenImages(const char* const names[], int count, unsigned char* blocks[], std::string& why);
