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

// Pictures with more pixels are refused from their header, before any pixel is read.
constexpr long long kMaxPicturePixels = 1LL << 26;

// Why a picture of this size is refused ("the picture is too large: ..."), decided
// from its header before any pixel is read; empty when it may be read.
std::string pictureSizeProblem(long long width, long long height, long long maxPixels = kMaxPicturePixels);

// Reads an image file of at most maxPixels pixels; on failure returns false
// and sets `error` to a one-line reason.
bool readImageFile(const std::string& path, RgbPicture* picture, std::string* error,
                   long long maxPixels = kMaxPicturePixels);
// Whole or not at all; false with the reason in `why`.
bool writePpm(const std::string& path, const RgbPicture& picture, std::string* why = nullptr);
// 32-bit B, G, R, X pixels, row 0 at the top, as the video layer delivers frames.
std::vector<uint8_t> toBgrx(const RgbPicture& picture);
