#include "autodrive_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

const char kAutodriveUsage[] =
    "usage: rovanta-autodrive --out FILE [--scene FILE] [--laps N] [--target-speed S] [--max-steps N]\n"
    "  Drives the player round the scene's checkpoints and writes the held keys, one line per step.\n"
    "  --scene FILE        scene to race on (default Scene.txt)\n"
    "  --laps N            laps to complete, 1..9 (default 1; 9 wins the race)\n"
    "  --target-speed S    speed to hold in world units per step, (0, 40] (default 1)\n"
    "  --max-steps N       give up after N steps (default 100000)\n";

static bool parseWhole(const char* text, long long low, long long high, long long& value)
{
    errno = 0;
    char* end = nullptr;
    value = std::strtoll(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= low && value <= high;
}

static bool parseSpeed(const char* text, double& value)
{
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && std::isfinite(value) && value > 0.0 && value <= 40.0;
}

// Applies one option with its value; false with the reason when it is bad.
static bool applyOption(const std::string& name, const char* value, AutodriveOptions& options, std::string& error)
{
    long long whole = 0;
    bool good = true;
    if (name == "--scene") {
        options.scenePath = value;
    } else if (name == "--out") {
        options.outPath = value;
    } else if (name == "--laps") {
        good = parseWhole(value, 1, 9, whole);
        options.laps = static_cast<int>(whole);
    } else if (name == "--max-steps") {
        good = parseWhole(value, 1, 10000000, whole);
        options.maxSteps = whole;
    } else if (name == "--target-speed") {
        good = parseSpeed(value, options.targetSpeed);
    } else {
        error = "unknown option " + name;
        return false;
    }
    if (!good) {
        error = "bad value for " + name + ": \"" + value + "\"";
    }
    return good;
}

bool parseAutodriveOptions(int argc, char** argv, AutodriveOptions& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "-h" || name == "--help") {
            options.showHelp = true;
            return true;
        }
        if (i + 1 >= argc) {
            error = name.rfind("--", 0) == 0 ? "missing value for " + name : "unknown option " + name;
            return false;
        }
        if (!applyOption(name, argv[++i], options, error)) {
            return false;
        }
    }
    if (options.outPath.empty()) {
        error = "--out FILE is required";
        return false;
    }
    return true;
}
