#include "key_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

std::string keyLine(const KeyTable& keys)
{
    static const struct {
        int code;
        const char* name;
    } kNames[] = {{kKeyLeft, "LEFT"}, {kKeyUp, "UP"}, {kKeyRight, "RIGHT"}, {kKeyDown, "DOWN"}};
    std::string line;
    for (const auto& key : kNames) {
        if (isKeyHeld(keys, key.code)) {
            line += line.empty() ? "" : " ";
            line += key.name;
        }
    }
    return line;
}

static bool writeLines(std::FILE* file, const std::vector<KeyTable>& script)
{
    for (const KeyTable& keys : script) {
        if (std::fprintf(file, "%s\n", keyLine(keys).c_str()) < 0) {
            return false;
        }
    }
    return true;
}

bool writeKeyScript(const std::string& path, const std::vector<KeyTable>& script, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        error = "cannot write \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    const bool written = writeLines(file, script);
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = "cannot write \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    return true;
}
