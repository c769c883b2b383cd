// The full-window image reader on arbitrary files: a refusal leaves the size
// globals alone, and an accepted image's block holds every pixel row its
// header claims.
#include "fuzz_check.h"
#include "fuzz_memory_file.h"

#include "render/bmp.h"
#include "render/dib_format.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// Reads every byte, so that a short block is caught by the address checker.
void readEveryByte(const unsigned char* block, size_t bytes)
{
    unsigned sum = 0;
    for (size_t i = 0; i < bytes; ++i) {
        sum += block[i];
    }
    fuzzCheck(sum <= bytes * 255, "pixel sum out of range");
}

void checkAccepted(const unsigned char* block, const uint8_t* data, size_t size)
{
    fuzzCheck(size >= 54 && data[0] == 'B' && data[1] == 'M', "accepted a file that is not a bitmap");
    fuzzCheck(screenImageWidth == static_cast<int32_t>(readLe32(data + 18)) &&
                  screenImageHeight == static_cast<int32_t>(readLe32(data + 22)),
              "size globals differ from the header");
    fuzzCheck(screenImageWidth > 0 && screenImageHeight > 0, "accepted a side that is not positive");
    const size_t bytes = static_cast<size_t>(screenImageWidth) * static_cast<size_t>(screenImageHeight) * 3;
    fuzzCheck(54 + bytes <= size, "accepted pixel rows the file does not hold");
    readEveryByte(block, bytes);
}

// The input as the last of three screen images after two good 8 x 4 ones:
// the set loads exactly when the input loads with that size.
void checkSet(const std::string& path, bool alone, int32_t width, int32_t height)
{
    static const FuzzMemoryFile good = [] {
        FuzzMemoryFile made = createFuzzMemoryFile("rovanta-fuzz-screen-good");
        std::vector<uint8_t> bytes(54 + 8 * 4 * 3, 7);
        // "BM", pixels at 54, a 40-byte header, width 8, height 4, one plane, 24 bits.
        const uint8_t header[54] = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0,
                                    0,   0,   8, 0, 0, 0, 4, 0, 0, 0, 1,  0, 24};
        std::copy(header, header + 54, bytes.begin());
        writeFuzzMemoryFile(made, bytes.data(), bytes.size());
        return made;
    }();
    const char* names[] = {good.path.c_str(), good.path.c_str(), path.c_str()};
    unsigned char* blocks[3] = {};
    std::string why;
    const bool loaded = loadScreenImages(names, 3, blocks, why);
    fuzzCheck(loaded == (alone && width == 8 && height == 4), "screen image set disagrees with its images");
    fuzzCheck(loaded == why.empty() && (loaded || why.find(path) != std::string::npos),
              "refusal does not name the file");
    for (unsigned char* block : blocks) {
        fuzzCheck((block != nullptr) == loaded, "a refused set kept an image");
        freeScreenImage(block);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const FuzzMemoryFile file = createFuzzMemoryFile("rovanta-fuzz-screen");
    if (fuzzPicks(data, size, 6, 64)) {
        fuzzCheck(loadScreenImage(fuzzPipePath().c_str()) == nullptr, "a pipe was read as a screen image");
    }
    writeFuzzMemoryFile(file, data, size);
    // Marks the globals so that a refusal that touches them is seen.
    screenImageWidth = -7;
    screenImageHeight = -9;
    unsigned char* block = loadScreenImage(file.path.c_str());
    if (block == nullptr) {
        fuzzCheck(screenImageWidth == -7 && screenImageHeight == -9, "a refusal changed the size globals");
        checkSet(file.path, false, 0, 0);
        return 0;
    }
    checkAccepted(block, data, size);
    freeScreenImage(block);
    checkSet(file.path, true, screenImageWidth, screenImageHeight);
    return 0;
}
