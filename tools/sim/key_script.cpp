#include "key_script.h"

#include "platform/file_path.h"
#include "platform/quoted_word.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>

static int keyCodeOf(std::string token)
{
    for (char& c : token) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (token == "LEFT") return kKeyLeft;
    if (token == "UP") return kKeyUp;
    if (token == "RIGHT") return kKeyRight;
    if (token == "DOWN") return kKeyDown;
    return -1;
}

static constexpr int kArrowKeys[] = {kKeyLeft, kKeyUp, kKeyRight, kKeyDown};

static uint8_t arrowBits(const KeyTable& keys)
{
    uint8_t bits = 0;
    for (int i = 0; i < 4; ++i) {
        if (isKeyHeld(keys, kArrowKeys[i])) bits |= static_cast<uint8_t>(1u << i);
    }
    return bits;
}

static bool isSeparator(char c) { return c == ',' || std::isspace(static_cast<unsigned char>(c)); }

bool parseKeyLine(const std::string& line, KeyTable& keys, std::string& badToken)
{
    keys = KeyTable{};
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && isSeparator(line[at])) ++at;
        std::size_t end = at;
        while (end < line.size() && !isSeparator(line[end])) ++end;
        if (end == at) break;
        const std::string token = line.substr(at, end - at);
        const int code = keyCodeOf(token);
        if (code < 0) {
            badToken = token;
            return false;
        }
        setKeyHeld(keys, code, true);
        at = end;
    }
    return true;
}

// Far more steps than any race takes.
static constexpr long kMaxKeyFileSize = 16L << 20;

// A key script is a line per step; a pipe would block and a device never end.
static std::string keyFileProblem(const std::string& path)
{
    std::string problem = regularFileProblem(path.c_str());
    std::error_code failed;
    const auto size = std::filesystem::file_size(portablePath(path.c_str()), failed);
    if (problem.empty() && !failed && size > static_cast<std::uintmax_t>(kMaxKeyFileSize)) {
        problem = "larger than " + describeSizeLimit(kMaxKeyFileSize);
    }
    return problem;
}

bool loadKeyScript(const std::string& path, KeyScript& script, std::string& error)
{
    if (const std::string problem = keyFileProblem(path); !problem.empty()) {
        error = "cannot open key file \"" + path + "\": " + problem;
        return false;
    }
    std::ifstream in(portablePath(path.c_str()));
    if (!in) {
        error = "cannot open key file \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        KeyTable keys;
        std::string badToken;
        if (!parseKeyLine(line, keys, badToken)) {
            error = path + ":" + std::to_string(number) + ": unknown key " + quotedWord(badToken) +
                    " (use LEFT, UP, RIGHT, DOWN)";
            return false;
        }
        script.steps.push_back(arrowBits(keys));
    }
    if (in.bad()) {
        error = "cannot read key file \"" + path + "\"";
        return false;
    }
    return true;
}

KeyTable keysForStep(const KeyScript& script, std::size_t stepIndex)
{
    KeyTable keys;
    const uint8_t bits = stepIndex < script.steps.size() ? script.steps[stepIndex] : 0;
    for (int i = 0; i < 4; ++i) {
        setKeyHeld(keys, kArrowKeys[i], (bits >> i) & 1u);
    }
    return keys;
}
