#include "app/video/test_graph.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

// Test pictures, and filters that only compute on pictures, have no option
// naming a file and hold no more than a frame or two (loop= would hoard up to
// 32767 frames, gigabytes, before it sends one).
const char* const kAllowedFilters[] = {
    "allrgb", "allyuv", "color", "haldclutsrc", "mandelbrot", "nullsrc", "pal75bars", "pal100bars",
    "rgbtestsrc", "sierpinski", "smptebars", "smptehdbars", "testsrc", "testsrc2", "yuvtestsrc",
    "boxblur", "crop", "drawbox", "drawgrid", "eq", "fade", "format", "fps", "gblur", "geq", "hflip",
    "hue", "lut", "lutrgb", "lutyuv", "negate", "noise", "null", "overlay", "pad", "perspective",
    "realtime", "rotate", "scale", "setdar", "setpts", "setsar", "split", "transpose", "trim", "unsharp",
    "vflip", "vignette"};

const char* const kWhitespace = " \n\t\r";

bool isOneOf(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

// One token as FFmpeg's graph parser reads it: leading white space skipped,
// a backslash takes the next character as it is, quotes keep everything up
// to the closing quote, trailing white space dropped; it ends at any of `stop`.
std::string readToken(const char*& p, const char* stop) {
    p += std::strspn(p, kWhitespace);
    std::string token;
    size_t kept = 0;  // characters that trailing white space may not remove
    while (*p != '\0' && !isOneOf(*p, stop)) {
        const char c = *p++;
        if (c == '\\' && *p != '\0') {
            token += *p++;
            kept = token.size();
        } else if (c == '\'') {
            while (*p != '\0' && *p != '\'') token += *p++;
            if (*p != '\0') ++p, kept = token.size();
        } else {
            token += c;
        }
    }
    while (token.size() > kept && isOneOf(token.back(), kWhitespace)) token.pop_back();
    return token;
}

// Link labels before or after a filter: "[in]" or "[a][b]".
bool skipLabels(const char*& p) {
    while (*p == '[') {
        ++p;
        if (readToken(p, "]").empty() || *p != ']') return false;
        ++p;
        p += std::strspn(p, kWhitespace);
    }
    return true;
}

bool allowed(const std::string& name) {
    return std::any_of(std::begin(kAllowedFilters), std::end(kAllowedFilters),
                       [&](const char* a) { return name == a; });
}

}  // namespace

std::string testGraphProblem(const std::string& graph) {
    const char* p = graph.c_str();
    char separator = ',';
    while (separator == ',' || separator == ';') {
        p += std::strspn(p, kWhitespace);
        if (!skipLabels(p)) return "the graph's link labels cannot be read";
        const std::string name = readToken(p, "=,;[");
        if (*p == '=') {
            ++p;
            readToken(p, "[],;");
        }
        if (!allowed(name))
            return "the filter \"" + name + "\" is not a test picture or a plain picture filter";
        if (!skipLabels(p)) return "the graph's link labels cannot be read";
        p += std::strspn(p, kWhitespace);
        separator = *p;
        if (separator != '\0') ++p;
    }
    return separator == '\0' ? "" : "the graph cannot be read past \"" + std::string(p - 1) + "\"";
}
