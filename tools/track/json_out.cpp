#include "json_out.h"

#include <cmath>
#include <cstdio>

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string jsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.10g", value);
    return buffer;
}

namespace {

std::string pair(double x, double y) {
    std::string out = "[";
    out += jsonNumber(x);
    out += ", ";
    out += jsonNumber(y);
    out += "]";
    return out;
}

std::string poseJson(const MarkerReport& r) {
    if (!r.hasPose) return "null";
    std::string out = "[";
    for (int row = 0; row < 3; row++) {
        out += row ? ", [" : "[";
        for (int c = 0; c < 4; c++) out += (c ? ", " : "") + jsonNumber(r.pose[row][c]);
        out += "]";
    }
    return out + "]";
}

std::string markerJson(const MarkerReport& r) {
    const DetectedMarker& m = r.marker;
    std::string corners = "[";
    for (int k = 0; k < 4; k++) corners += (k ? ", " : "") + pair(m.corners[k][0], m.corners[k][1]);
    corners += "]";
    return "{\"id\": " + std::to_string(m.id) + ", \"confidence\": " + jsonNumber(m.confidence) +
           ", \"orientation\": " + std::to_string(m.orientation) + ", \"area\": " + std::to_string(m.area) +
           ", \"center\": " + pair(m.center[0], m.center[1]) + ", \"corners\": " + corners +
           ", \"pose\": " + poseJson(r) + ", \"pose_error\": " + (r.hasPose ? jsonNumber(r.poseError) : "null") + "}";
}

std::string thresholdJson(const ThresholdReport& t) {
    std::string out = std::string("{\"automatic\": ") + (t.automatic ? "true" : "false");
    if (t.local) return out + ", \"local\": true}";
    return out + ", \"level\": " + std::to_string(t.level) + "}";
}

}  // namespace

std::string imageResultJson(const std::string& path, int width, int height, double ms, const ThresholdReport& threshold,
                            const std::vector<MarkerReport>& markers) {
    std::string out = "{\"image\": " + jsonString(path) + ", \"width\": " + std::to_string(width) +
                      ", \"height\": " + std::to_string(height) + ", \"ms\": " + jsonNumber(ms) +
                      ", \"threshold\": " + thresholdJson(threshold) + ", \"markers\": [";
    for (size_t i = 0; i < markers.size(); i++) out += (i ? ", " : "") + markerJson(markers[i]);
    return out + "]}";
}
