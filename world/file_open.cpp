#include "world/file_open.h"

#include <algorithm>

std::string nativePath(const std::string& path)
{
    std::string native = path;
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

std::FILE* openFile(const std::string& path, const char* mode) { return std::fopen(nativePath(path).c_str(), mode); }
