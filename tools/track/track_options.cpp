#include "track_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

const char* const kTrackUsage =
    "usage: rovanta-track --camera FILE --pattern FILE [--pattern FILE ...] [--threshold N]\n"
    "                     [--fixed-threshold] [--marker-width W] [--repeat N] IMAGE...\n"
    "Detects markers in each image (binary PPM or BMP) in order and prints one JSON line per image.\n"
    "The tracker chooses its binarisation for the light of each image (--threshold N shifts it by\n"
    "N - 100); --fixed-threshold binarises every image with the one level N (default 100).\n"
    "--repeat N times detection N times per image and reports the median; the marker history\n"
    "then sees each image N times.\n";

namespace {

bool parseInt(const char* text, long low, long high, int* out) {
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < low || v > high) return false;
    *out = static_cast<int>(v);
    return true;
}

bool parsePositiveDouble(const char* text, double* out) {
    char* end = nullptr;
    double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(v) || v <= 0.0) return false;
    *out = v;
    return true;
}

bool applyValueOption(const std::string& name, const char* value, TrackOptions* o, std::string* error) {
    bool ok = true;
    if (name == "--camera")
        o->camera = value;
    else if (name == "--pattern")
        o->patterns.push_back(value);
    else if (name == "--threshold")
        ok = parseInt(value, -1000, 1000, &o->threshold);
    else if (name == "--marker-width")
        ok = parsePositiveDouble(value, &o->markerWidth);
    else if (name == "--repeat")
        ok = parseInt(value, 1, 100000, &o->repeat);
    else {
        *error = "unknown option " + name;
        return false;
    }
    if (!ok) *error = "bad value for " + name + ": " + value;
    return ok;
}

}  // namespace

bool parseTrackOptions(int argc, char** argv, TrackOptions* options, bool* help, std::string* error) {
    *help = false;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            *help = true;
            return true;
        }
        if (arg == "--fixed-threshold") {
            options->fixedThreshold = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0 || arg == "--") {
            options->images.push_back(arg);
            continue;
        }
        if (i + 1 >= argc) {
            *error = "missing value for " + arg;
            return false;
        }
        if (!applyValueOption(arg, argv[++i], options, error)) return false;
    }
    if (options->camera.empty()) *error = "--camera FILE is required";
    else if (options->patterns.empty()) *error = "at least one --pattern FILE is required";
    else if (options->images.empty()) *error = "no IMAGE given";
    return error->empty();
}
