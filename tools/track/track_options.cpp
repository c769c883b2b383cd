#include "track_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

const char* const kTrackUsage =
    "usage: rovanta-track --camera FILE --pattern FILE [--pattern FILE ...] [--threshold N]\n"
    "                     [--marker-width W] [--repeat N] [--exact] IMAGE...\n"
    "Detects markers in each image (binary PPM) in order and prints one JSON line per image.\n"
    "Each marker's sides are re-located with sub-pixel precision and its pose polished;\n"
    "\"refined\" says whether that worked for the marker, and for the image whether it did\n"
    "for every identified marker. --exact skips this: corners and poses as detection and the\n"
    "angle search give them.\n"
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
        if (arg == "--exact") {
            options->exact = true;
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
