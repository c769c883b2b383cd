// The bitmap reader on arbitrary bytes: mostly the in-memory header parser and
// pixel converter, and for some inputs the file loader as well, which must
// agree with the in-memory result.
#include "fuzz_check.h"
#include "fuzz_memory_file.h"

#include "render/bmp.h"
#include "render/dib_format.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// Reads every pixel byte, so that a block shorter than width * height * 3 is
// caught by the address checker. A few bytes of RLE make a picture of
// millions of pixels, so the loop reads eight bytes at a time and is left out
// of the coverage instrumentation, which made it take seconds.
volatile uint64_t sink;  // keeps the reads from being optimised away

#if defined(__clang__)
__attribute__((no_sanitize("coverage")))
#endif
uint64_t pixelSum(const RgbImage& image)
{
    const size_t bytes = static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3;
    uint64_t sum = 0;
    size_t i = 0;
    for (; i + 8 <= bytes; i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, image.pixels + i, 8);
        sum += word & 0xFF;
    }
    for (; i < bytes; ++i) {
        sum += image.pixels[i];
    }
    return sum;
}

void checkImage(const RgbImage& image)
{
    fuzzCheck(image.width > 0 && image.height > 0, "image with a side that is not positive");
    fuzzCheck(image.pixels != nullptr, "image without pixels");
    sink = pixelSum(image);
}

RgbImage* convertInMemory(const uint8_t* data, size_t size)
{
    DibSource source;
    if (parseDib(data, size, source) != DibStatus::ok) {
        return nullptr;
    }
    fuzzCheck(source.bits == nullptr || (source.bits >= data && source.bits + source.bitsSize == data + size),
              "pixel bits do not lie at the end of the data");
    RgbImage* image = nullptr;
    const DibStatus status = convertDib(source, image);
    fuzzCheck((status == DibStatus::ok) == (image != nullptr), "conversion status disagrees with its image");
    return image;
}

bool sameImage(const RgbImage* a, const RgbImage* b)
{
    if (a == nullptr || b == nullptr) {
        return a == b;
    }
    return a->width == b->width && a->height == b->height &&
           std::memcmp(a->pixels, b->pixels, static_cast<size_t>(a->width) * a->height * 3) == 0;
}

// The file path is slower (file system, error messages); one input in eight takes it.
bool takesFilePath(const uint8_t* data, size_t size)
{
    uint8_t mix = static_cast<uint8_t>(size);
    for (size_t i = 0; i < size && i < 64; ++i) {
        mix = static_cast<uint8_t>(mix * 31 + data[i]);
    }
    return (mix & 7) == 0;
}

void loadThroughFile(const uint8_t* data, size_t size, const RgbImage* inMemory)
{
    static const FuzzMemoryFile file = createFuzzMemoryFile("rovanta-fuzz-dib");
    writeFuzzMemoryFile(file, data, size);
    RgbImage* loaded = loadDibImage(file.path.c_str());
    // Comparing reads every byte of both pictures, so a short block is caught
    // there; summing the loaded one again would only double the time.
    fuzzCheck(sameImage(loaded, inMemory), "file loader and in-memory conversion disagree");
    freeRgbImage(loaded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (fuzzPicks(data, size, 7, 256)) {
        fuzzCheck(loadDibImage(fuzzPipePath().c_str()) == nullptr, "a pipe was read as a bitmap");
    }
    RgbImage* image = convertInMemory(data, size);
    if (image != nullptr) {
        checkImage(*image);
    }
    if (takesFilePath(data, size)) {
        loadThroughFile(data, size, image);
    }
    freeRgbImage(image);
    return 0;
}
