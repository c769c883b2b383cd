// The full-window image reader on arbitrary files: a refusal leaves the size
// globals alone, and an accepted image's block holds every pixel row its
// header claims.
#include "fuzz_check.h"
#include "fuzz_memory_file.h"

#include "render/bmp.h"
#include "render/dib_format.h"

#include <cstddef>
#include <cstdint>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const FuzzMemoryFile file = createFuzzMemoryFile("rovanta-fuzz-screen");
    writeFuzzMemoryFile(file, data, size);
    // Marks the globals so that a refusal that touches them is seen.
    screenImageWidth = -7;
    screenImageHeight = -9;
    unsigned char* block = loadScreenImage(file.path.c_str());
    if (block == nullptr) {
        fuzzCheck(screenImageWidth == -7 && screenImageHeight == -9, "a refusal changed the size globals");
        return 0;
    }
    checkAccepted(block, data, size);
    freeScreenImage(block);
    return 0;
}
