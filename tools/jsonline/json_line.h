#pragma once
// A document built with nlohmann/json (keys kept in the order they were
// added), written as one line in the fixed form scripts read: numbers with
// a fixed count of significant digits (printf "%.Ng", never rounded to the
// shortest form) and null for NaN and infinity, which JSON cannot hold.
#include <nlohmann/json.hpp>

#include <string>

using JsonDocument = nlohmann::ordered_json;

struct JsonLineStyle {
    const char* itemSeparator;  // between members and elements: "," or ", "
    const char* keySeparator;   // between a key and its value: ":" or ": "
    int significantDigits;      // of floating-point numbers
};

std::string jsonLine(const JsonDocument& document, const JsonLineStyle& style);
