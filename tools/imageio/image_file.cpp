#include "image_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/file_path.h"
#include "platform/file_replace.h"
#include "render/bmp.h"
#include "render/dib_format.h"

namespace {

constexpr long kMaxDimension = 1 << 15;

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

enum class HeaderField { ok, endsBefore, endsAfter, malformed };

// Next header number, skipping whitespace and '#' comments; exactly one
// whitespace character must end it.
HeaderField readHeaderNumber(FILE* f, long* value) {
    int c = std::fgetc(f);
    while (c != EOF && (std::isspace(c) || c == '#')) {
        if (c == '#')
            while (c != EOF && c != '\n') c = std::fgetc(f);
        c = std::fgetc(f);
    }
    if (c == EOF) return HeaderField::endsBefore;
    if (!std::isdigit(c)) return HeaderField::malformed;
    long number = 0;
    while (c != EOF && std::isdigit(c)) {
        number = number * 10 + (c - '0');
        if (number > kMaxDimension * kMaxDimension) return HeaderField::malformed;
        c = std::fgetc(f);
    }
    *value = number;
    if (c == EOF) return HeaderField::endsAfter;
    return std::isspace(c) ? HeaderField::ok : HeaderField::malformed;
}

struct PpmHeader {
    long width = 0, height = 0, maxValue = 0;
};

std::string tooLarge(long long width, long long height, long long maxPixels) {
    return "the picture is too large: " + std::to_string(width) + "x" + std::to_string(height) +
           " exceeds the capacity of " + std::to_string(maxPixels) + " pixels";
}

// The three numbers after "P6"; the error says where the header went wrong.
bool readPpmHeader(FILE* f, PpmHeader* h, std::string* error) {
    long* fields[3] = {&h->width, &h->height, &h->maxValue};
    for (int i = 0; i < 3; i++) {
        HeaderField field = readHeaderNumber(f, fields[i]);
        if (field == HeaderField::ok) continue;
        if (field == HeaderField::endsAfter && i == 2)
            *error = "not a valid PPM: the file ends after its header, with no pixel data";
        else if (field != HeaderField::malformed)
            *error = "not a valid PPM: the file ends within its header";
        else
            *error = i < 2 ? "not a valid PPM: bad width or height" : "not a valid PPM: bad maximum sample value";
        return false;
    }
    if (h->width <= 0 || h->height <= 0) {
        *error = "not a valid PPM: bad width or height";
        return false;
    }
    if (h->maxValue <= 0 || h->maxValue > 255) {
        *error = "not a valid PPM: only 8-bit samples (maximum value 1..255) are supported";
        return false;
    }
    return true;
}

bool withinCapacity(long long width, long long height, long long maxPixels, std::string* error) {
    *error = pictureSizeProblem(width, height, maxPixels);
    return error->empty();
}

bool readPpm(FILE* f, RgbPicture* picture, std::string* error, long long maxPixels) {
    PpmHeader h;
    if (!readPpmHeader(f, &h, error) || !withinCapacity(h.width, h.height, maxPixels, error)) return false;
    // Check the data is all there before allocating for it: a lying header must not cost gigabytes.
    long start = std::ftell(f);
    size_t needed = static_cast<size_t>(h.width) * static_cast<size_t>(h.height) * 3;
    long available = start < 0 || std::fseek(f, 0, SEEK_END) != 0 ? -1 : std::ftell(f) - start;
    if (available < static_cast<long>(needed) || std::fseek(f, start, SEEK_SET) != 0) {
        *error = available == 0 ? "not a valid PPM: the file ends after its header, with no pixel data"
                                : "not a valid PPM: pixel data is truncated";
        return false;
    }
    picture->width = static_cast<int>(h.width);
    picture->height = static_cast<int>(h.height);
    picture->rgb.assign(needed, 0);
    if (std::fread(picture->rgb.data(), 1, picture->rgb.size(), f) != picture->rgb.size()) {
        *error = "not a valid PPM: pixel data is truncated";
        return false;
    }
    if (h.maxValue != 255)
        for (uint8_t& v : picture->rgb) v = static_cast<uint8_t>(v > h.maxValue ? 255 : v * 255 / h.maxValue);
    return true;
}

// Width and height from a bitmap's header, so that a huge one is refused
// before the loader reads it; false when the header is too short to say.
bool peekBmpSize(FILE* f, long long* width, long long* height) {
    unsigned char h[26];
    if (std::fseek(f, 0, SEEK_SET) != 0 || std::fread(h, 1, sizeof h, f) != sizeof h) return false;
    if (readLe32(h + 14) == 12) {
        *width = readLe16(h + 18);
        *height = readLe16(h + 20);
    } else {
        *width = static_cast<int32_t>(readLe32(h + 18));
        *height = std::llabs(static_cast<int32_t>(readLe32(h + 22)));
    }
    return true;
}

// Bitmaps of any common depth, through the game's own loader (which says why
// it refuses a file on standard error).
bool readBmp(FILE* f, const std::string& path, RgbPicture* picture, std::string* error, long long maxPixels) {
    long long width = 0, height = 0;
    if (peekBmpSize(f, &width, &height) && !withinCapacity(width, height, maxPixels, error)) return false;
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

std::string pictureSizeProblem(long long width, long long height, long long maxPixels) {
    if (width <= kMaxDimension && height <= kMaxDimension && width * height <= maxPixels) return "";
    return tooLarge(width, height, std::min<long long>(maxPixels, kMaxDimension * kMaxDimension));
}

bool readImageFile(const std::string& path, RgbPicture* picture, std::string* error, long long maxPixels) {
    std::string why;
    FilePtr f(openFile(path.c_str(), "rb", &why));
    if (!f) {
        *error = "cannot open file: " + why;
        return false;
    }
    char magic[2] = {0, 0};
    if (std::fread(magic, 1, 2, f.get()) != 2) {
        *error = "not an image: file is too short";
        return false;
    }
    if (magic[0] == 'P' && magic[1] == '6') return readPpm(f.get(), picture, error, maxPixels);
    if (magic[0] == 'B' && magic[1] == 'M') return readBmp(f.get(), path, picture, error, maxPixels);
    *error = "unsupported image format (binary PPM P6 or BMP expected)";
    return false;
}

bool writePpm(const std::string& path, const RgbPicture& picture, std::string* why) {
    return replaceFile(path.c_str(), [&picture](std::FILE* f) {
        return std::fprintf(f, "P6\n%d %d\n255\n", picture.width, picture.height) > 0 &&
               std::fwrite(picture.rgb.data(), 1, picture.rgb.size(), f) == picture.rgb.size();
    }, why);
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
