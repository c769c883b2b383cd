#include "platform/quoted_word.h"

#include <cstdio>

namespace {

constexpr size_t kMaxQuotedBytes = 40;

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

bool isUtf8Continuation(unsigned char c) { return (c & 0xc0) == 0x80; }

// Where to cut: not inside a UTF-8 character.
size_t cutAt(std::string_view word) {
    if (word.size() <= kMaxQuotedBytes) return word.size();
    size_t cut = kMaxQuotedBytes;
    while (cut > 0 && isUtf8Continuation(static_cast<unsigned char>(word[cut]))) --cut;
    return cut;
}

}  // namespace

std::string quotedWord(std::string_view word) {
    const size_t cut = cutAt(word);
    std::string out = "\"";
    for (size_t i = 0; i < cut; ++i) {
        const unsigned char c = static_cast<unsigned char>(word[i]);
        if (isControl(c)) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + (cut < word.size() ? "...\"" : "\"");
}
