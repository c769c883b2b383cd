#include "json_out.h"

#include "json_line.h"

namespace {

const JsonLineStyle kTrackStyle{", ", ": ", 10};

JsonDocument pair(double x, double y) { return JsonDocument::array({x, y}); }

JsonDocument poseRows(const double pose[3][4]) {
    JsonDocument rows = JsonDocument::array();
    for (int r = 0; r < 3; r++) rows.push_back(JsonDocument::array({pose[r][0], pose[r][1], pose[r][2], pose[r][3]}));
    return rows;
}

JsonDocument poseJson(const MarkerReport& r) {
    if (!r.hasPose) return nullptr;
    return poseRows(r.pose);
}

JsonDocument matJson(const MatReport& m) {
    if (!m.found) return nullptr;
    JsonDocument out;
    out["pose"] = poseRows(m.pose.transform);
    out["markers"] = JsonDocument::array();
    for (int id : m.ids) out["markers"].push_back(id);
    out["pose_error"] = m.pose.error;
    out["refined"] = m.pose.refined;
    return out;
}

// Members are added in the order the line has always had.
JsonDocument markerJson(const MarkerReport& r) {
    const DetectedMarker& m = r.marker;
    JsonDocument corners = JsonDocument::array();
    for (const auto& corner : m.corners) corners.push_back(pair(corner[0], corner[1]));
    JsonDocument out;
    out["id"] = m.id;
    out["confidence"] = m.confidence;
    out["orientation"] = m.orientation;
    out["area"] = m.area;
    out["center"] = pair(m.center[0], m.center[1]);
    out["corners"] = corners;
    out["pose"] = poseJson(r);
    out["pose_error"] = r.hasPose ? JsonDocument(r.poseError) : JsonDocument(nullptr);
    out["refined"] = m.refined;
    return out;
}

JsonDocument thresholdJson(const ThresholdReport& t) {
    JsonDocument out;
    out["automatic"] = t.automatic;
    if (t.local)
        out["local"] = true;
    else
        out["level"] = t.level;
    return out;
}

}  // namespace

std::string imageResultJson(const std::string& path, int width, int height, double ms, const ThresholdReport& threshold,
                            bool refined, const std::vector<MarkerReport>& markers, const MatReport* mat) {
    JsonDocument line;
    line["image"] = path;
    line["width"] = width;
    line["height"] = height;
    line["ms"] = ms;
    line["threshold"] = thresholdJson(threshold);
    line["refined"] = refined;
    line["markers"] = JsonDocument::array();
    for (const MarkerReport& marker : markers) line["markers"].push_back(markerJson(marker));
    if (mat) line["mat"] = matJson(*mat);
    return jsonLine(line, kTrackStyle);
}
