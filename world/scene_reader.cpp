#include "world/scene_reader.h"

#include "platform/file_path.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

// Reads at most limit + 1 bytes, enough to tell that a file is over the limit.
static bool readWholeFile(std::FILE* file, std::string& content, std::size_t limit)
{
    char chunk[4096];
    std::size_t got = 0;
    while (content.size() <= limit && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        content.append(chunk, got);
    }
    return std::ferror(file) == 0;
}

static bool refuseOpen(SceneReader& reader, const char* verb, const std::string& why)
{
    reader.reason = std::string("cannot ") + verb + " scene file \"" + reader.path + "\": " + why;
    closeSceneReader(reader);
    return false;
}

static std::string sceneTooLarge()
{
    return "larger than " + describeSizeLimit(static_cast<long>(kMaxSceneFileSize)) + "; a scene is a short text file";
}

// The size is checked before anything is read, so a huge file costs nothing.
bool openSceneReader(SceneReader& reader, const std::string& path)
{
    reader.path = path;
    std::string why;
    reader.file = openFile(path.c_str(), "r", &why);
    if (reader.file == nullptr) {
        return refuseOpen(reader, "open", why);
    }
    struct stat st {};
    if (fstat(fileno(reader.file), &st) == 0 && static_cast<std::size_t>(st.st_size) > kMaxSceneFileSize) {
        return refuseOpen(reader, "read", sceneTooLarge());
    }
    if (!readWholeFile(reader.file, reader.content, kMaxSceneFileSize)) {
        return refuseOpen(reader, "read", std::strerror(errno));
    }
    if (reader.content.size() > kMaxSceneFileSize) {  // it grew while being read
        return refuseOpen(reader, "read", sceneTooLarge());
    }
    std::rewind(reader.file);
    skipByteOrderMark(reader.file);
    return true;
}

void closeSceneReader(SceneReader& reader)
{
    if (reader.file != nullptr) {
        std::fclose(reader.file);
        reader.file = nullptr;
    }
}

static std::size_t firstNonSpaceFrom(const std::string& text, long offset)
{
    std::size_t at = static_cast<std::size_t>(std::max(offset, 0L));
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) {
        ++at;
    }
    return std::min(at, text.size());
}

static std::string describeLine(const SceneReader& reader, long offset)
{
    const std::size_t at = firstNonSpaceFrom(reader.content, offset);
    const long line = 1 + std::count(reader.content.begin(), reader.content.begin() + static_cast<long>(at), '\n');
    return reader.path + ":" + std::to_string(line) + ": ";
}

static void fail(SceneReader& reader, long offset, const std::string& why)
{
    if (reader.reason.empty()) {
        reader.reason = describeLine(reader, offset) + why;
    }
}

static std::string expected(const SceneReader& reader, long offset, const std::string& display)
{
    std::string why = "expected \"" + display + "\"";
    if (firstNonSpaceFrom(reader.content, offset) >= reader.content.size()) {
        why += " at end of file";
    }
    return why;
}

// Every read goes through here: a failure right after a words-only line that
// did not match is reported at that line, because that is where the file went wrong.
static bool finishRead(SceneReader& reader, bool ok, long before, const std::string& display)
{
    if (!ok) {
        if (!reader.unmatchedWords.empty()) {
            fail(reader, reader.unmatchedAt, expected(reader, reader.unmatchedAt, reader.unmatchedWords));
        } else {
            fail(reader, before, expected(reader, before, display));
        }
    }
    reader.unmatchedWords.clear();
    return ok;
}

static long startRead(const SceneReader& reader) { return std::ftell(reader.file); }

bool readWords(SceneReader& reader, const char* words)
{
    const long before = startRead(reader);
    const std::string format = std::string(words) + "%n\n";
    int matched = -1;
    const int result = std::fscanf(reader.file, format.c_str(), &matched);
    if (result == EOF) {
        return finishRead(reader, false, before, words);
    }
    finishRead(reader, true, before, words);
    if (matched < 0) {
        reader.unmatchedWords = words;
        reader.unmatchedAt = before;
    }
    return true;
}

static bool readWideInt(SceneReader& reader, const char* keyword, long long& value, long before)
{
    const std::string format = std::string(keyword) + " %lld\n";
    const bool ok = std::fscanf(reader.file, format.c_str(), &value) == 1;
    return finishRead(reader, ok, before, std::string(keyword) + " %d");
}

bool readInt(SceneReader& reader, const char* keyword, int32_t& value)
{
    const long before = startRead(reader);
    long long wide = 0;
    if (!readWideInt(reader, keyword, wide, before)) {
        return false;
    }
    if (wide < INT32_MIN || wide > INT32_MAX) {
        fail(reader, before, std::string(keyword) + " value out of range");
        return false;
    }
    value = static_cast<int32_t>(wide);
    return true;
}

bool readSkippedInt(SceneReader& reader, const char* keyword)
{
    const long before = startRead(reader);
    const std::string format = std::string(keyword) + " %*d%n\n";
    int consumed = 0;
    const bool ok = std::fscanf(reader.file, format.c_str(), &consumed) != EOF;
    return finishRead(reader, ok, before, std::string(keyword) + " %d");
}

// nan, inf and numbers beyond a float's range read as they always have; the
// first is noted, so that start-up refuses the scene instead of racing on them.
static void noteNonFinite(SceneReader& reader, long before, const std::string& display, const float* values, int count)
{
    for (int i = 0; i < count && reader.refusedValue.empty(); ++i) {
        if (!std::isfinite(values[i])) {
            reader.refusedValue = describeLine(reader, before) + "expected \"" + display +
                                  "\" with finite numbers, not " + (std::isnan(values[i]) ? "nan" : "inf");
        }
    }
}

bool readFloat(SceneReader& reader, const char* keyword, float& value)
{
    const long before = startRead(reader);
    const std::string format = std::string(keyword) + " %f\n";
    const bool ok = std::fscanf(reader.file, format.c_str(), &value) == 1;
    if (ok) {
        noteNonFinite(reader, before, std::string(keyword) + " %f", &value, 1);
    }
    return finishRead(reader, ok, before, std::string(keyword) + " %f");
}

bool readVec3(SceneReader& reader, const char* keyword, Vec3& value)
{
    const long before = startRead(reader);
    const std::string format = std::string(keyword) + " %f %f %f\n";
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    const bool ok = std::fscanf(reader.file, format.c_str(), &x, &y, &z) == 3;
    if (ok) {
        value = Vec3{x, y, z};
        const float values[3] = {x, y, z};
        noteNonFinite(reader, before, std::string(keyword) + " %f %f %f", values, 3);
    }
    return finishRead(reader, ok, before, std::string(keyword) + " %f %f %f");
}

bool readText(SceneReader& reader, const char* keyword, std::size_t maxLength, std::string& value)
{
    const long before = startRead(reader);
    // One character more than allowed is read so that an overlong token is noticed.
    std::vector<char> token(maxLength + 2, '\0');
    const std::string format = std::string(keyword) + " %" + std::to_string(maxLength + 1) + "s\n";
    const bool ok = std::fscanf(reader.file, format.c_str(), token.data()) == 1;
    if (!finishRead(reader, ok, before, std::string(keyword) + " %s")) {
        return false;
    }
    if (std::strlen(token.data()) > maxLength) {
        fail(reader, before, std::string(keyword) + " value longer than " + std::to_string(maxLength) + " characters");
        return false;
    }
    value = token.data();
    return true;
}

// The last read started at or before the current position; its line is the
// line of the last non-space character consumed.
std::size_t lastReadEnd(const SceneReader& reader)
{
    std::size_t at = std::min(static_cast<std::size_t>(std::max(std::ftell(reader.file), 0L)), reader.content.size());
    while (at > 0 && std::isspace(static_cast<unsigned char>(reader.content[at - 1]))) {
        --at;
    }
    return at;
}

static long lastReadOffset(const SceneReader& reader)
{
    const std::size_t end = lastReadEnd(reader);
    return end > 0 ? static_cast<long>(end) - 1 : 0;
}

void failAtLastLine(SceneReader& reader, const std::string& why)
{
    fail(reader, lastReadOffset(reader), why);
}

std::string lastLinePlace(const SceneReader& reader)
{
    const std::string place = describeLine(reader, lastReadOffset(reader));
    return place.substr(0, place.size() - 2);
}
