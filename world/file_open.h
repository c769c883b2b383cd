#pragma once

#include <cstdio>
#include <string>

// Scene files and their references come from Windows, where a backslash
// separates path parts; here it is turned into a slash before opening.
std::string nativePath(const std::string& path);
std::FILE* openFile(const std::string& path, const char* mode);
