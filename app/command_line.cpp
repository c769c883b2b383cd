#include "app/command_line.h"

#include <cstring>

namespace {

bool startsWith(const char* argument, const char* option) {
    return std::strncmp(argument, option, std::strlen(option)) == 0;
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine result;
    for (int i = 0; i < argc; ++i) {
        const char* argument = argv[i];
        if (startsWith(argument, "-debug")) result.debugMode = true;
        if (startsWith(argument, "-s") && i + 1 < argc) {
            const char* path = argv[i + 1];
            // A longer path would be cut short silently; refuse it instead.
            if (std::strlen(path) > kMaxScenePathLength)
                result.error = "scene path longer than 255 characters: " + std::string(path);
            else {
                result.scenePath = path;
                result.error.clear();
            }
        }
        if (startsWith(argument, "-about")) result.showAbout = true;
    }
    return result;
}

const char* aboutText() {
    return "Rovanta v0.0.0.1\n"
           "Augmented-reality table-top car race.\n"
           "Made by the Rovanta team.\n";
}
