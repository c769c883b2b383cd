#include "tracking/labeling.h"
#include "tracking/marker.h"

namespace {

DetectedMarker markerList[kMaxDetectedMarkers];

}  // namespace

int detectMarkers(const uint8_t* frame, int threshold, DetectedMarker** markers, int* count) {
    *count = 0;
    *markers = markerList;
    int regionCount, *areas, *boxes, *table;
    double* centroids;
    int16_t* labels = labelImage(frame, threshold, &regionCount, &areas, &centroids, &boxes, &table);
    if (!labels) return -1;
    MarkerCandidate* candidates;
    int candidateCount;
    extractCandidates(labels, regionCount, table, areas, centroids, boxes, kMaxAreaDefault, kMinAreaDefault, 1.0,
                      &candidates, &candidateCount);
    int n;
    buildDetectedMarkers(frame, candidates, candidateCount, markerList, &n);
    *count = applyMarkerHistory(markerList, n, kMaxDetectedMarkers);
    return 0;
}
