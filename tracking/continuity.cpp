#include "tracking/marker.h"

namespace {

struct HistoryEntry {
    DetectedMarker marker;
    int age;
};

HistoryEntry history[kMaxPatterns];
int historyCount = 0;

double squaredCentreDistance(const DetectedMarker& a, const DetectedMarker& b) {
    double dx = a.center[0] - b.center[0], dy = a.center[1] - b.center[1];
    return dx * dx + dy * dy;
}

// Same marker when the areas are within a factor of about 1.43 and the centres are close.
bool matches(const DetectedMarker& entry, const DetectedMarker& current, double* closeness) {
    double ratio = static_cast<double>(entry.area) / current.area;
    if (ratio < 0.7 || ratio > 1.43) return false;
    *closeness = squaredCentreDistance(entry, current) / current.area;
    return *closeness < 0.5;
}

int closestMatch(const DetectedMarker& entry, const DetectedMarker* markers, int count) {
    int best = -1;
    double bestCloseness = 0.0;
    for (int i = 0; i < count; i++) {
        double closeness;
        if (!matches(entry, markers[i], &closeness)) continue;
        if (best < 0 || closeness < bestCloseness) best = i, bestCloseness = closeness;
    }
    return best;
}

int cornerShift(const DetectedMarker& marker, const DetectedMarker& entry) {
    int best = 0;
    double bestSum = 0.0;
    for (int s = 0; s < 4; s++) {
        double sum = 0.0;
        for (int j = 0; j < 4; j++) {
            double dx = marker.corners[(s + j) % 4][0] - entry.corners[j][0];
            double dy = marker.corners[(s + j) % 4][1] - entry.corners[j][1];
            sum += dx * dx + dy * dy;
        }
        if (s == 0 || sum < bestSum) best = s, bestSum = sum;
    }
    return best;
}

void inheritIdentities(DetectedMarker* markers, int count) {
    for (int h = 0; h < historyCount; h++) {
        const DetectedMarker& entry = history[h].marker;
        int i = closestMatch(entry, markers, count);
        if (i < 0 || !(entry.confidence > markers[i].confidence)) continue;
        int s = cornerShift(markers[i], entry);
        markers[i].confidence = entry.confidence;
        markers[i].id = entry.id;
        markers[i].orientation = (entry.orientation - s + 4) % 4;
    }
}

void ageHistory() {
    int kept = 0;
    for (int h = 0; h < historyCount; h++) {
        if (++history[h].age >= 4) continue;
        history[kept++] = history[h];
    }
    historyCount = kept;
}

void rememberIdentified(const DetectedMarker* markers, int count) {
    for (int i = 0; i < count; i++) {
        if (markers[i].id < 0) continue;
        int h = 0;
        while (h < historyCount && history[h].marker.id != markers[i].id) h++;
        if (h == historyCount) {
            if (historyCount == kMaxPatterns) continue;
            historyCount++;
        }
        history[h] = HistoryEntry{markers[i], 1};
    }
}

}  // namespace

void resetMarkerHistory() { historyCount = 0; }

int applyMarkerHistory(DetectedMarker* markers, int count, int capacity) {
    inheritIdentities(markers, count);
    for (int i = 0; i < count; i++)
        if (markers[i].confidence < 0.5) markers[i].id = -1;
    ageHistory();
    rememberIdentified(markers, count);
    int total = count;
    for (int h = 0; h < historyCount && total < capacity; h++) {
        double closeness;
        bool seen = false;
        for (int i = 0; i < count && !seen; i++) seen = matches(history[h].marker, markers[i], &closeness);
        if (seen) continue;
        markers[total] = history[h].marker;
        markers[total++].remembered = true;
    }
    return total;
}
