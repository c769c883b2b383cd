// Reading and writing the pictures the command-line tools take: binary PPM (P6) for now.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // width * height * 3, row 0 at the top
};

// Reads an image file; on failure returns false and sets `error` to a one-line reason.
bool readImageFile(const std::string& path, RgbPicture* picture, std::string* error);
bool writePpm(const std::string& path, const RgbPicture& picture);
// 32-bit B, G, R, X pixels, row 0 at the top, as the video layer delivers frames.
std::vector<uint8_t> toBgrx(const RgbPicture& picture);
