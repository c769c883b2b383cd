#include <algorithm>

#include "tracking/camera.h"
#include "tracking/marker.h"

namespace {

MarkerCandidate candidateArea[kCandidateRoom];
int candidateLimit = kMaxCandidates;

bool plausibleRegion(int area, const int* box, int maxArea, int minArea, int width, int height) {
    if (area < minArea || area > maxArea) return false;
    return box[0] != 1 && box[1] != width - 2 && box[2] != 1 && box[3] != height - 2;
}

void markNestedDuplicates(MarkerCandidate* c, int count) {
    for (int i = 0; i < count; i++) {
        for (int j = i + 1; j < count; j++) {
            double dx = c[i].center[0] - c[j].center[0], dy = c[i].center[1] - c[j].center[1];
            double d2 = dx * dx + dy * dy;
            if (c[i].area > c[j].area) {
                if (d2 < c[i].area / 4) c[j].area = 0;
            } else if (d2 < c[j].area / 4) {
                c[i].area = 0;
            }
        }
    }
}

int removeMarked(MarkerCandidate* c, int count) {
    int kept = 0;
    for (int i = 0; i < count; i++) {
        if (c[i].area == 0) continue;
        if (kept != i) c[kept] = c[i];
        kept++;
    }
    return kept;
}

}  // namespace

void setCandidateLimit(int limit) { candidateLimit = std::clamp(limit, 1, kCandidateRoom); }

int extractCandidates(const Label* labelImage, int regionCount, const int* labelTable, const int* areas,
                      const double* centroids, const int* boundingBoxes, int maxArea, int minArea, double factor,
                      MarkerCandidate** candidates, int* count) {
    int width, height;
    trackerImageSize(&width, &height);
    int n = 0;
    for (int r = 1; r <= regionCount && n < candidateLimit; r++) {
        const int* box = boundingBoxes + 4 * (r - 1);
        int area = areas[r - 1];
        if (!plausibleRegion(area, box, maxArea, minArea, width, height)) continue;
        MarkerCandidate* c = &candidateArea[n];
        if (traceContour(labelImage, labelTable, r, box, c) < 0) continue;
        if (checkSquare(c, area, factor) < 0) continue;
        c->area = area;
        c->center[0] = centroids[2 * (r - 1)];
        c->center[1] = centroids[2 * (r - 1) + 1];
        n++;
    }
    markNestedDuplicates(candidateArea, n);
    *count = removeMarked(candidateArea, n);
    *candidates = candidateArea;
    return 0;
}
