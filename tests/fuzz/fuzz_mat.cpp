// The mat file reader on arbitrary text, beside a folder that holds the
// patterns a.patt, b.patt and c.patt (c a quarter turn of a): a read either
// fails naming the file and line or gives markers the tracker can use, and
// loading their patterns gives each its own pattern id.
#include "fuzz_check.h"
#include "fuzz_memory_file.h"

#include "tracking/diagnostics.h"
#include "tracking/mat.h"
#include "tracking/pattern.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace {

void writePattern(const std::string& path, int seed, bool turned)
{
    uint8_t values[kPatternFileValues];
    for (int d = 0; d < 4; ++d) {
        const int source = turned ? (d + 1) % 4 : d;  // a quarter turn of the same picture
        for (int k = 0; k < kPatternCells; ++k) {
            values[d * kPatternCells + k] = static_cast<uint8_t>((k * (seed + 7) + source * 31 + k / 9 * seed) % 256);
        }
    }
    fuzzCheck(savePatternFile(path.c_str(), values) == 0, "cannot write a pattern");
}

const std::string& matPath()
{
    static const std::string path = [] {
        const char* base = std::getenv("TMPDIR");
        std::string folder = std::string(base && *base ? base : "/tmp") + "/rovanta-fuzz-mat-XXXXXX";
        fuzzCheck(mkdtemp(folder.data()) != nullptr, "cannot make the patterns' folder");
        static std::string made;
        made = folder;
        writePattern(folder + "/a.patt", 1, false);
        writePattern(folder + "/b.patt", 2, false);
        writePattern(folder + "/c.patt", 1, true);
        std::atexit([] {
            for (const char* name : {"/a.patt", "/b.patt", "/c.patt"}) {
                unlink((made + name).c_str());
            }
            rmdir(made.c_str());
        });
        return folder + "/mat.txt";
    }();
    return path;
}

bool overlapping(const MatMarker& a, const MatMarker& b)
{
    const double reach = (a.width + b.width) / 2;
    return std::fabs(a.centre[0] - b.centre[0]) < reach && std::fabs(a.centre[1] - b.centre[1]) < reach;
}

void checkAccepted(const Mat& mat)
{
    fuzzCheck(!mat.markers.empty() && mat.markers.size() <= static_cast<size_t>(kMaxPatterns), "marker count");
    std::set<std::string> paths;
    for (size_t i = 0; i < mat.markers.size(); ++i) {
        const MatMarker& m = mat.markers[i];
        fuzzCheck(std::isfinite(m.centre[0]) && std::isfinite(m.centre[1]), "centre not finite");
        fuzzCheck(std::isfinite(m.width) && m.width > 0, "width not positive");
        fuzzCheck(m.line > 0, "no line");
        fuzzCheck(paths.insert(m.patternPath).second, "a pattern named twice");
        for (size_t j = 0; j < i; ++j) {
            fuzzCheck(!overlapping(mat.markers[j], m), "overlapping markers");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const FuzzMemoryFile file = createFuzzMemoryFile("rovanta-fuzz-mat");
    static std::FILE* const silent = std::fopen("/dev/null", "w");
    setTrackerDiagnostics(silent);
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string& path = matPath();
    Mat mat;
    std::string why;
    if (!readMatText(text, path.c_str(), &mat, &why)) {
        fuzzCheck(why.rfind(path + ":", 0) == 0, "refusal does not name the file");
    } else {
        checkAccepted(mat);
        clearPatterns();
        if (loadMatPatterns(&mat, &why)) {
            std::set<int> ids;
            for (const MatMarker& m : mat.markers) {
                fuzzCheck(m.patternId >= 0 && ids.insert(m.patternId).second, "pattern ids not distinct");
            }
        } else {
            fuzzCheck(why.rfind(path + ":", 0) == 0, "pattern refusal does not name the mat");
        }
        clearPatterns();
    }
    writeFuzzMemoryFile(file, data, size);
    (void)isMatFile(file.path.c_str());
    setTrackerDiagnostics(nullptr);
    return 0;
}
