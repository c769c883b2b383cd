#include "tracking/camera.h"
#include "tracking/marker.h"
#include "tracking/matrix.h"

namespace {

struct LineFitWork {
    Matrix* points = nullptr;
    Matrix* eigenvectors = nullptr;
    Vector* eigenvalues = nullptr;
    Vector* mean = nullptr;
    ~LineFitWork() {
        freeMatrix(points);
        freeMatrix(eigenvectors);
        freeMatrix(eigenvalues);
        freeMatrix(mean);
    }
};

int fitSide(const MarkerCandidate* c, const double distortion[4], int a, int b, double line[3]) {
    double w = (b - a + 1) * 0.05 + 0.5;
    int first = static_cast<int>(a + w), last = static_cast<int>(b - w);
    int m = last - first + 1;
    if (m < 2) return -1;
    LineFitWork work;
    work.points = allocMatrix(m, 2);
    work.eigenvectors = allocMatrix(2, 2);
    work.eigenvalues = allocVector(2);
    work.mean = allocVector(2);
    if (!work.points || !work.eigenvectors || !work.eigenvalues || !work.mean) return -1;
    for (int i = 0; i < m; i++) {
        work.points->data[2 * i] = c->contourX[first + i];
        work.points->data[2 * i + 1] = c->contourY[first + i];
    }
    observedToIdealPoints(distortion, work.points->data, m);
    if (principalComponents(work.points, work.eigenvectors, work.eigenvalues, work.mean) < 0) return -1;
    double ex = work.eigenvectors->data[0], ey = work.eigenvectors->data[1];
    double mx = work.mean->data[0], my = work.mean->data[1];
    line[0] = ey;
    line[1] = -ex;
    line[2] = ex * my - ey * mx;
    return 0;
}

}  // namespace

int fitEdgeLines(const MarkerCandidate* c, const double distortion[4], double lines[4][3], double corners[4][2]) {
    for (int k = 0; k < 4; k++)
        if (fitSide(c, distortion, c->cornerIndex[k], c->cornerIndex[k + 1], lines[k]) < 0) return -1;
    for (int k = 0; k < 4; k++) {
        const double* p = lines[(k + 3) % 4];
        const double* q = lines[k];
        double w = p[0] * q[1] - q[0] * p[1];
        if (w == 0.0) return -1;
        corners[k][0] = (p[1] * q[2] - q[1] * p[2]) / w;
        corners[k][1] = (q[0] * p[2] - p[0] * q[2]) / w;
    }
    return 0;
}

int buildDetectedMarkers(const uint8_t* frame, const MarkerCandidate* candidates, int candidateCount,
                         DetectedMarker* markers, int* markerCount) {
    const CameraIntrinsics* camera = trackerCameraParams();
    int n = 0;
    for (int i = 0; i < candidateCount; i++) {
        const MarkerCandidate* c = &candidates[i];
        DetectedMarker* m = &markers[n];
        m->area = c->area;
        m->refined = false;
        m->remembered = false;
        m->center[0] = c->center[0];
        m->center[1] = c->center[1];
        if (fitEdgeLines(c, camera->distortion, m->lines, m->corners) < 0) continue;
        identifyMarker(frame, c->contourX.data(), c->contourY.data(), c->cornerIndex, &m->id, &m->orientation, &m->confidence);
        n++;
    }
    *markerCount = n;
    return 0;
}
