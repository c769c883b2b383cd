#include "image_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>

#include "platform/file_path.h"
#include "render/bmp.h"

namespace {

constexpr long kMaxDimension = 1 << 15;

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Next header number, skipping whitespace and '#' comments; -1 when there is none.
long readHeaderNumber(FILE* f) {
    int c = std::fgetc(f);
    while (c != EOF && (std::isspace(c) || c == '#')) {
        if (c == '#')
            while (c != EOF && c != '\n') c = std::fgetc(f);
        c = std::fgetc(f);
    }
    if (c == EOF || !std::isdigit(c)) return -1;
    long value = 0;
    while (c != EOF && std::isdigit(c)) {
        value = value * 10 + (c - '0');
        if (value > kMaxDimension * kMaxDimension) return -1;
        c = std::fgetc(f);
    }
    if (c == EOF || !std::isspace(c)) return -1;  // exactly one whitespace ends the header
    return value;
}

bool readPpm(FILE* f, RgbPicture* picture, std::string* error) {
    long width = readHeaderNumber(f), height = readHeaderNumber(f), maxValue = readHeaderNumber(f);
    if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) {
        *error = "not a valid PPM: bad width or height";
        return false;
    }
    if (maxValue <= 0 || maxValue > 255) {
        *error = "not a valid PPM: only 8-bit samples (maximum value 1..255) are supported";
        return false;
    }
    // Check the data is all there before allocating for it: a lying header must not cost gigabytes.
    long start = std::ftell(f);
    size_t needed = static_cast<size_t>(width) * height * 3;
    if (start < 0 || std::fseek(f, 0, SEEK_END) != 0 || std::ftell(f) - start < static_cast<long>(needed) ||
        std::fseek(f, start, SEEK_SET) != 0) {
        *error = "not a valid PPM: pixel data is truncated";
        return false;
    }
    picture->width = static_cast<int>(width);
    picture->height = static_cast<int>(height);
    picture->rgb.assign(static_cast<size_t>(width) * height * 3, 0);
    if (std::fread(picture->rgb.data(), 1, picture->rgb.size(), f) != picture->rgb.size()) {
        *error = "not a valid PPM: pixel data is truncated";
        return false;
    }
    if (maxValue != 255)
        for (uint8_t& v : picture->rgb) v = static_cast<uint8_t>(v > maxValue ? 255 : v * 255 / maxValue);
    return true;
}

// Bitmaps of any common depth, through the game's own loader (which says why
// it refuses a file on standard error).
bool readBmp(const std::string& path, RgbPicture* picture, std::string* error) {
    RgbImage* image = loadDibImage(path.c_str());
    if (!image) {
        *error = "not a valid BMP";
        return false;
    }
    picture->width = image->width;
    picture->height = image->height;
    picture->rgb.resize(static_cast<size_t>(image->width) * image->height * 3);
    const size_t rowBytes = static_cast<size_t>(image->width) * 3;
    for (int y = 0; y < image->height; ++y)  // the loader's rows run bottom-up
        std::copy_n(image->pixels + (image->height - 1 - y) * rowBytes, rowBytes,
                    picture->rgb.data() + y * rowBytes);
    freeRgbImage(image);
    return true;
}

}  // namespace

bool readImageFile(const std::string& path, RgbPicture* picture, std::string* error) {
    FilePtr f(openFile(path.c_str(), "rb"));
    if (!f) {
        *error = "cannot open file";
        return false;
    }
    char magic[2] = {0, 0};
    if (std::fread(magic, 1, 2, f.get()) != 2) {
        *error = "not an image: file is too short";
        return false;
    }
    if (magic[0] == 'P' && magic[1] == '6') return readPpm(f.get(), picture, error);
    if (magic[0] == 'B' && magic[1] == 'M') return readBmp(path, picture, error);
    *error = "unsupported image format (binary PPM P6 or BMP expected)";
    return false;
}

bool writePpm(const std::string& path, const RgbPicture& picture) {
    FilePtr f(std::fopen(path.c_str(), "wb"));
    if (!f) return false;
    if (std::fprintf(f.get(), "P6\n%d %d\n255\n", picture.width, picture.height) < 0) return false;
    return std::fwrite(picture.rgb.data(), 1, picture.rgb.size(), f.get()) == picture.rgb.size();
}

std::vector<uint8_t> toBgrx(const RgbPicture& picture) {
    size_t pixels = static_cast<size_t>(picture.width) * picture.height;
    std::vector<uint8_t> out(pixels * 4, 0);
    for (size_t i = 0; i < pixels; i++) {
        out[4 * i] = picture.rgb[3 * i + 2];
        out[4 * i + 1] = picture.rgb[3 * i + 1];
        out[4 * i + 2] = picture.rgb[3 * i];
    }
    return out;
}
