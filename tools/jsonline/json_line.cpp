#include "json_line.h"

#include <cmath>
#include <cstdio>

namespace {

// Strings, whole numbers, booleans and null as the library writes them;
// bytes that are not UTF-8 become U+FFFD so the line stays valid JSON.
std::string scalarText(const JsonDocument& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string numberText(double value, int digits) {
    if (!std::isfinite(value)) return "null";
    char text[40];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

void write(const JsonDocument& value, const JsonLineStyle& style, std::string& out) {
    const char* separator = "";
    if (value.is_object()) {
        out += '{';
        for (const auto& [key, member] : value.items()) {
            out += separator + scalarText(key) + style.keySeparator;
            write(member, style, out);
            separator = style.itemSeparator;
        }
        out += '}';
    } else if (value.is_array()) {
        out += '[';
        for (const JsonDocument& element : value) {
            out += separator;
            write(element, style, out);
            separator = style.itemSeparator;
        }
        out += ']';
    } else if (value.is_number_float()) {
        out += numberText(value.get<double>(), style.significantDigits);
    } else {
        out += scalarText(value);
    }
}

}  // namespace

std::string jsonLine(const JsonDocument& document, const JsonLineStyle& style) {
    std::string out;
    write(document, style, out);
    return out;
}
