#pragma once
// Opening files by the names that scene files and callers use. Names written
// for the original platform use backslashes; here both separators work.

#include <cstdio>
#include <string>
#include <vector>


// The name with every backslash turned into a slash.
std::string portablePath(const char* path);

// Empty when the name leads to a regular file (links followed) that may be
// read; otherwise why not, e.g. "No such file or directory", "Permission
// denied" or "a named pipe, not a regular file". Nothing is opened.
std::string regularFileProblem(const char* path);

// fopen on the portable form of the name; nullptr when path is nullptr.
// Reading (a mode starting with 'r') is allowed on regular files only: a named
// pipe or a device would block or never end, so it is refused before it is
// opened. On failure `why`, when given, receives the reason.
std::FILE* openFile(const char* path, const char* mode, std::string* why = nullptr);

// UTF-8 form of a wide (UTF-32 wchar_t) name; invalid code points become '?'.
std::string wideToUtf8(const wchar_t* text);

constexpr long kMaxWholeFileSize = 256L << 20;

// Reads the whole of a regular file of at most maxSize bytes; false when it
// cannot be opened or read completely, or is larger, with the reason in `why`.
bool readWholeFile(const char* path, std::vector<unsigned char>& out, std::string* why = nullptr,
                   long maxSize = kMaxWholeFileSize);

// "12 MB" style text for a size limit in bytes, for messages.
std::string describeSizeLimit(long bytes);

// At the start of a text file: moves past a UTF-8 byte-order mark (Windows
// editors write one) and returns true; otherwise stays at the start.
bool skipByteOrderMark(std::FILE* file);
