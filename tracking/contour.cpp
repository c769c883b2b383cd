#include <algorithm>
#include <cstdio>

#include "tracking/camera.h"
#include "tracking/diagnostics.h"
#include "tracking/marker.h"

namespace {

const int kStepX[8] = {0, 1, 1, 1, 0, -1, -1, -1};
const int kStepY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

bool findStartPixel(const Label* labels, const int* table, int region, const int* box, int width, int* x, int* y) {
    int y0 = box[2];
    for (int xi = box[0]; xi <= box[1]; xi++) {
        int p = labels[y0 * width + xi];
        if (p > 0 && table[p - 1] == region) {
            *x = xi;
            *y = y0;
            return true;
        }
    }
    return false;
}

int nextDirection(const Label* labels, int width, int x, int y, int d) {
    for (int i = 0; i < 8; i++) {
        int dd = (d + i) % 8;
        if (labels[(y + kStepY[dd]) * width + x + kStepX[dd]] > 0) return dd;
    }
    return -1;
}

long squaredDistance(const MarkerCandidate* c, int i, int j) {
    long dx = c->contourX[i] - c->contourX[j], dy = c->contourY[i] - c->contourY[j];
    return dx * dx + dy * dy;
}

int farthestFromFirst(const MarkerCandidate* c, int from, int to) {
    int best = from;
    long bestDistance = -1;
    for (int i = from; i <= to; i++) {
        long d = squaredDistance(c, 0, i);
        if (d > bestDistance) bestDistance = d, best = i;
    }
    return best;
}

void startAtFarthestPoint(MarkerCandidate* c, int n) {
    int first = farthestFromFirst(c, 0, n - 1);
    std::rotate(c->contourX.begin(), c->contourX.begin() + first, c->contourX.begin() + n);
    std::rotate(c->contourY.begin(), c->contourY.begin() + first, c->contourY.begin() + n);
    c->contourX[n] = c->contourX[0];
    c->contourY[n] = c->contourY[0];
    c->pointCount = n + 1;
}

int exactlyOneCorner(const MarkerCandidate* c, int s, int e, double threshold, int* corner) {
    int list[6], count = 0;
    if (findCorners(c->contourX.data(), c->contourY.data(), s, e, threshold, list, &count) < 0 || count != 1)
        return -1;
    *corner = list[0];
    return 0;
}

void setCorners(MarkerCandidate* c, int a, int b, int d, int e) {
    int values[5] = {a, b, d, e, c->pointCount - 1};
    std::copy(values, values + 5, c->cornerIndex);
}

}  // namespace

int contourCapacity(int width, int height) { return std::max(kMaxContourPoints, 2 * (width + height)); }

int traceContour(const Label* labels, const int* table, int region, const int* box, MarkerCandidate* c) {
    int width, height;
    trackerImageSize(&width, &height);
    return traceContourIn(labels, width, height, table, region, box, c);
}

int traceContourIn(const Label* labels, int width, int height, const int* table, int region, const int* box,
                   MarkerCandidate* c) {
    const int capacity = contourCapacity(width, height);
    if (static_cast<int>(c->contourX.size()) < capacity) {
        c->contourX.resize(capacity);
        c->contourY.resize(capacity);
    }
    int x, y;
    if (!findStartPixel(labels, table, region, box, width, &x, &y)) {
        std::fprintf(trackerDiagnostics(), "??? 1\n");
        return -1;
    }
    c->contourX[0] = x;
    c->contourY[0] = y;
    int n = 1, d = 5;
    for (;;) {
        d = nextDirection(labels, width, x, y, (d + 5) % 8);
        if (d < 0) {
            std::fprintf(trackerDiagnostics(), "??? 2\n");
            return -1;
        }
        x += kStepX[d];
        y += kStepY[d];
        c->contourX[n] = x;
        c->contourY[n] = y;
        if (x == c->contourX[0] && y == c->contourY[0]) break;
        if (++n >= capacity - 1) {
            std::fprintf(trackerDiagnostics(), "??? 3\n");
            return -1;
        }
    }
    startAtFarthestPoint(c, n);
    return 0;
}

int findCorners(const int* x, const int* y, int s, int e, double threshold, int corners[6], int* cornerCount) {
    double a = y[e] - y[s], b = x[s] - x[e], k = static_cast<double>(x[e]) * y[s] - static_cast<double>(y[e]) * x[s];
    double largest = 0.0;
    int v = s;
    for (int i = s + 1; i < e; i++) {
        double distance = a * x[i] + b * y[i] + k;
        if (distance * distance > largest) largest = distance * distance, v = i;
    }
    if (!(largest / (a * a + b * b) > threshold)) return 0;
    if (findCorners(x, y, s, v, threshold, corners, cornerCount) < 0) return -1;
    if (*cornerCount >= 6) return -1;
    corners[(*cornerCount)++] = v;
    return findCorners(x, y, v, e, threshold, corners, cornerCount);
}

int checkSquare(MarkerCandidate* c, int area, double factor) {
    int last = c->pointCount - 1;
    int far = farthestFromFirst(c, 1, last - 1);
    double threshold = area / 0.75 * 0.01 * factor;
    int l1[6], l2[6], n1 = 0, n2 = 0;
    const int *xs = c->contourX.data(), *ys = c->contourY.data();
    if (findCorners(xs, ys, 0, far, threshold, l1, &n1) < 0) return -1;
    if (findCorners(xs, ys, far, last, threshold, l2, &n2) < 0) return -1;
    if (n1 == 1 && n2 == 1) {
        setCorners(c, 0, l1[0], far, l2[0]);
        return 0;
    }
    int first, second;
    if (n1 >= 2 && n2 == 0) {
        int m = far / 2;
        if (exactlyOneCorner(c, 0, m, threshold, &first) < 0 || exactlyOneCorner(c, m, far, threshold, &second) < 0)
            return -1;
        setCorners(c, 0, first, second, far);
        return 0;
    }
    if (n1 == 0 && n2 >= 2) {
        int m = (far + last) / 2;
        if (exactlyOneCorner(c, far, m, threshold, &first) < 0 || exactlyOneCorner(c, m, last, threshold, &second) < 0)
            return -1;
        setCorners(c, 0, far, first, second);
        return 0;
    }
    return -1;
}
