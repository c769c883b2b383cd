#include "tracking/camera.h"
#include "tracking/labeling.h"
#include "tracking/marker.h"

namespace {

DetectedMarker markerList[kMaxDetectedMarkers];

}  // namespace

int largestMarkerArea(int width, int height) {
    long long pixels = static_cast<long long>(width) * height;
    if (pixels <= kMaxAreaFramePixels) return kMaxAreaDefault;
    return static_cast<int>(pixels / 3);
}

int markersFromLabels(const uint8_t* frame, const LabelResult& labels, DetectedMarker* markers, int* count) {
    int width, height;
    trackerImageSize(&width, &height);
    MarkerCandidate* candidates;
    int candidateCount;
    extractCandidates(labels.labelImage, labels.regionCount, labels.labelTable, labels.areas, labels.centroids,
                      labels.boundingBoxes, largestMarkerArea(width, height), kMinAreaDefault, 1.0, &candidates,
                      &candidateCount);
    return buildDetectedMarkers(frame, candidates, candidateCount, markers, count);
}

int detectMarkers(const uint8_t* frame, int threshold, DetectedMarker** markers, int* count) {
    *count = 0;
    *markers = markerList;
    LabelResult labels;
    labels.labelImage = labelImage(frame, threshold, &labels.regionCount, &labels.areas, &labels.centroids,
                                   &labels.boundingBoxes, &labels.labelTable);
    if (!labels.labelImage) return -1;
    int n;
    markersFromLabels(frame, labels, markerList, &n);
    *count = applyMarkerHistory(markerList, n, kMaxDetectedMarkers);
    return 0;
}
