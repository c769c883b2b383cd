#include "key_writer.h"

#include "platform/file_replace.h"

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
    std::string why;
    if (replaceFile(path.c_str(), [&script](std::FILE* file) { return writeLines(file, script); }, &why)) {
        return true;
    }
    error = "cannot write \"" + path + "\": " + why;
    return false;
}
