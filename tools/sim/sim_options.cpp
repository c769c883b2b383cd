#include "sim_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

const char kSimUsage[] =
    "usage: rovanta-sim [-s SCENE] [--keys FILE] [--steps N] [--seconds-per-step X]\n"
    "  -s SCENE               scene file (default Scene.txt)\n"
    "  --keys FILE            keys held per step, one line per step: LEFT UP RIGHT DOWN\n"
    "  --steps N              number of steps (default: lines of the key file, else 100)\n"
    "  --seconds-per-step X   lap clock advance per step (default 1/30)\n";

static bool parseSteps(const char* text, int64_t& steps)
{
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 0) {
        return false;
    }
    steps = value;
    return true;
}

static bool parseSeconds(const char* text, double& seconds)
{
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(value) || value < 0.0) {
        return false;
    }
    seconds = value;
    return true;
}

static bool applyValueOption(const std::string& name, const char* value, SimOptions& options, std::string& error)
{
    if (name == "-s") {
        options.scenePath = value;
    } else if (name == "--keys") {
        options.keysPath = value;
    } else if (name == "--steps") {
        if (!parseSteps(value, options.steps)) {
            error = "--steps needs a whole number of at least 0, not \"" + std::string(value) + "\"";
            return false;
        }
    } else if (!parseSeconds(value, options.secondsPerStep)) {
        error = "--seconds-per-step needs a finite number of at least 0, not \"" + std::string(value) + "\"";
        return false;
    }
    return true;
}

static bool takesValue(const std::string& name)
{
    return name == "-s" || name == "--keys" || name == "--steps" || name == "--seconds-per-step";
}

bool parseSimOptions(int argc, char** argv, SimOptions& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "-h" || name == "--help") {
            options.showHelp = true;
        } else if (!takesValue(name)) {
            error = "unknown option \"" + name + "\"";
            return false;
        } else if (i + 1 >= argc) {
            error = name + " needs a value";
            return false;
        } else if (!applyValueOption(name, argv[++i], options, error)) {
            return false;
        }
    }
    return true;
}
