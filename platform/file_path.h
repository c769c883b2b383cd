#pragma once
// Opening files by the names that scene files and callers use. Names written
// for the original platform use backslashes; here both separators work.

#include <cstdio>
#include <string>
#include <vector>


// The name with every backslash turned into a slash.
std::string portablePath(const char* path);

// fopen on the portable form of the name; nullptr when path is nullptr.
std::FILE* openFile(const char* path, const char* mode);

// UTF-8 form of a wide (UTF-32 wchar_t) name; invalid code points become '?'.
std::string wideToUtf8(const wchar_t* text);

constexpr long kMaxWholeFileSize = 256L << 20;

// Reads the whole of a regular file of at most kMaxWholeFileSize bytes;
// false when it cannot be opened or read completely.
bool readWholeFile(const char* path, std::vector<unsigned char>& out);

