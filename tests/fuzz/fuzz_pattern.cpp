// The pattern file reader on arbitrary text: a load either fails or fills one
// slot, and a loaded template must recognise its own first orientation as a
// perfect match. The store is emptied after every input.
#include "fuzz_check.h"
#include "fuzz_memory_file.h"

#include "tracking/diagnostics.h"
#include "tracking/pattern.h"

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// The first orientation's values as a sampled square would hold them (row,
// column, channel), read independently of the loader; false when the text
// does not start with that many whole numbers in 0..255.
bool firstOrientation(const uint8_t* data, size_t size, uint8_t sample[kPatternCells])
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* at = text.c_str();
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
        at += 3;  // a byte-order mark is skipped
    }
    for (int channel = 0; channel < 3; ++channel) {
        for (int cell = 0; cell < kPatternSize * kPatternSize; ++cell) {
            char* end = nullptr;
            errno = 0;
            const long value = std::strtol(at, &end, 10);
            if (end == at || errno != 0 || value < 0 || value > 255) {
                return false;
            }
            sample[cell * 3 + channel] = static_cast<uint8_t>(value);
            at = end;
        }
    }
    return true;
}

bool isFlat(const uint8_t sample[kPatternCells])
{
    for (int k = 1; k < kPatternCells; ++k) {
        if (sample[k] != sample[0]) {
            return false;
        }
    }
    return true;
}

void checkSelfMatch(int slot, const uint8_t* data, size_t size)
{
    uint8_t sample[kPatternCells];
    fuzzCheck(firstOrientation(data, size, sample), "loaded a file whose first values are not intensities");
    if (isFlat(sample)) {
        return;  // a flat square matches nothing by design
    }
    int id = -2;
    int orientation = -2;
    double confidence = 0;
    matchPattern(sample, &id, &orientation, &confidence);
    fuzzCheck(id == slot && orientation >= 0 && orientation < 4, "template does not recognise itself");
    fuzzCheck(std::fabs(confidence - 1.0) < 1e-9, "self match is not perfect");
}

// The start-up loader agrees with the plain one, except that it refuses a
// template without contrast, and every refusal names the file.
void checkCheckedLoad(const std::string& path, int plainSlot)
{
    clearPatterns();
    std::string why;
    const int slot = loadPatternChecked(path.c_str(), &why);
    fuzzCheck(slot < 0 || slot == plainSlot, "checked load accepted what the plain one refused");
    fuzzCheck((slot < 0) == !why.empty(), "checked load gave a reason with success or none with failure");
    fuzzCheck(why.empty() || why.rfind(path, 0) == 0, "refusal does not start with the file name");
    fuzzCheck(plainSlot < 0 || slot >= 0 || why.find("has no contrast") != std::string::npos,
              "checked load refused a usable pattern");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const FuzzMemoryFile file = createFuzzMemoryFile("rovanta-fuzz-pattern");
    static std::FILE* const silent = std::fopen("/dev/null", "w");
    setTrackerDiagnostics(silent);
    if (fuzzPicks(data, size, 3, 64)) {
        std::string why;
        const int slot = loadPatternChecked(fuzzPipePath().c_str(), &why);
        fuzzCheck(slot == -1 && why.find("a named pipe") != std::string::npos, "a pipe was not refused unopened");
    }
    writeFuzzMemoryFile(file, data, size);
    clearPatterns();
    const int slot = loadPattern(file.path.c_str());
    if (slot < 0) {
        fuzzCheck(slot == -1 && loadedPatternCount() == 0, "failed load changed the store");
    } else {
        fuzzCheck(slot < kMaxPatterns && loadedPatternCount() == 1, "load filled no single slot");
        checkSelfMatch(slot, data, size);
    }
    checkCheckedLoad(file.path, slot);
    setTrackerDiagnostics(nullptr);
    clearPatterns();
    fuzzCheck(loadedPatternCount() == 0, "store not emptied");
    return 0;
}
