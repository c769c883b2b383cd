#pragma once

#include "world/vec3.h"

#include <cstdint>
#include <cstdio>
#include <string>

// Scenes are text of a few kilobytes; anything larger is not a scene.
inline constexpr std::size_t kMaxSceneFileSize = std::size_t{16} << 20;

// Reads a scene file line format by line format, scanf style, and remembers
// where and why the first read failed.
struct SceneReader {
    std::FILE* file = nullptr;
    std::string path;
    std::string content;  // the whole file, to turn offsets into line numbers
    std::string reason;   // set by the first failure
    std::string unmatchedWords;  // a words-only line that did not match
    long unmatchedAt = -1;
    std::string refusedValue;  // the first value a race cannot use, see SceneLoadResult
};

// Opens and reads the whole file; on failure returns false with a reason.
bool openSceneReader(SceneReader& reader, const std::string& path);
void closeSceneReader(SceneReader& reader);

// A line of literal words only; it fails only at the end of the file.
bool readWords(SceneReader& reader, const char* words);
bool readInt(SceneReader& reader, const char* keyword, int32_t& value);
bool readSkippedInt(SceneReader& reader, const char* keyword);
bool readFloat(SceneReader& reader, const char* keyword, float& value);
bool readVec3(SceneReader& reader, const char* keyword, Vec3& value);
// One token of at most maxLength characters.
bool readText(SceneReader& reader, const char* keyword, std::size_t maxLength, std::string& value);
// Marks the reader failed at the start of the last read with a reason of its own.
void failAtLastLine(SceneReader& reader, const std::string& why);
// The offset just after the last character the reads took, white space after it not counted.
std::size_t lastReadEnd(const SceneReader& reader);
// "path:line" of the last read.
std::string lastLinePlace(const SceneReader& reader);
