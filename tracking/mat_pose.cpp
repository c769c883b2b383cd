// The mat's pose: each seen mat marker proposes the pose its own corners give; the proposal that
// explains the most markers' corners wins, those markers are fitted together, and any marker the
// joint pose still leaves far from its corners (a wrong identification, a curled corner) is
// dropped and the rest fitted again. Several markers also tell how far a camera's tone curve and
// blur have widened every dark outline, which would otherwise bend the pose.
#include <algorithm>
#include <cmath>

#include "tracking/mat.h"
#include "tracking/pose.h"
#include "tracking/refine.h"

namespace {

// A proposal explains a marker whose corners it misses by less than this share of the marker's
// side (RMS, pixels): a wrong identification or turn misses by about a whole side.
constexpr double kProposalTolerance = 0.25;
// The joint pose keeps a marker within this RMS corner distance (pixels), or within this many
// times the typical distance of the other markers when that is larger.
constexpr double kJointTolerance = 1.5;
constexpr double kJointSpread = 3.0;

struct Seen {
    int index;  // in the detection list
    const MatMarker* place;
    double model[4][3];
    double image[4][2];
    double side;         // mean side length in the image, pixels
    double widen[4][2];  // how each corner moves when every side moves out by a pixel
};

// Corner k moves along both its sides' outward normals: the w with n1 . w = n2 . w = 1.
void widenings(const double image[4][2], double widen[4][2]) {
    double cx = 0, cy = 0;
    for (int k = 0; k < 4; k++) cx += image[k][0] / 4, cy += image[k][1] / 4;
    double normal[4][2];  // of the side from corner k to corner k + 1
    for (int k = 0; k < 4; k++) {
        const double* a = image[k];
        const double* b = image[(k + 1) % 4];
        double nx = b[1] - a[1], ny = a[0] - b[0];
        const double n = std::hypot(nx, ny);
        if (nx * (a[0] - cx) + ny * (a[1] - cy) < 0) nx = -nx, ny = -ny;
        normal[k][0] = n > 0 ? nx / n : 0, normal[k][1] = n > 0 ? ny / n : 0;
    }
    for (int k = 0; k < 4; k++) {
        const double* p = normal[(k + 3) % 4];
        const double* q = normal[k];
        const double det = p[0] * q[1] - p[1] * q[0];
        widen[k][0] = std::fabs(det) > 1e-9 ? (q[1] - p[1]) / det : 0;
        widen[k][1] = std::fabs(det) > 1e-9 ? (p[0] - q[0]) / det : 0;
    }
}

bool betterDetection(const DetectedMarker& candidate, const DetectedMarker* current) {
    if (!current) return true;
    if (candidate.remembered != current->remembered) return !candidate.remembered;
    return candidate.confidence > current->confidence;
}

// Per mat marker its best detection; remembered ones only when no mat marker is seen afresh.
std::vector<int> chooseDetections(const Mat& mat, const DetectedMarker* markers, int count) {
    std::vector<int> chosen(mat.markers.size(), -1);
    bool fresh = false;
    for (int i = 0; i < count; i++) {
        const int m = markers[i].id < 0 ? -1 : matMarkerIndex(mat, markers[i].id);
        if (m < 0 || markers[i].orientation < 0 || markers[i].orientation > 3) continue;
        if (betterDetection(markers[i], chosen[m] < 0 ? nullptr : &markers[chosen[m]])) chosen[m] = i;
        fresh = fresh || !markers[i].remembered;
    }
    if (fresh)
        for (int& i : chosen)
            if (i >= 0 && markers[i].remembered) i = -1;
    return chosen;
}

double meanSide(const double corners[4][2]) {
    double sum = 0.0;
    for (int k = 0; k < 4; k++)
        sum += std::hypot(corners[(k + 1) % 4][0] - corners[k][0], corners[(k + 1) % 4][1] - corners[k][1]);
    return sum / 4.0;
}

std::vector<Seen> seenMarkers(const Mat& mat, const DetectedMarker* markers, int count) {
    const std::vector<int> chosen = chooseDetections(mat, markers, count);
    std::vector<Seen> seen;
    for (size_t m = 0; m < chosen.size(); m++) {
        if (chosen[m] < 0) continue;
        const DetectedMarker& d = markers[chosen[m]];
        Seen s{chosen[m], &mat.markers[m], {}, {}, meanSide(d.corners), {}};
        double plane[4][2];
        markerCorrespondences(&d, mat.markers[m].centre, mat.markers[m].width, plane, s.image);
        for (int k = 0; k < 4; k++) s.model[k][0] = plane[k][0], s.model[k][1] = plane[k][1], s.model[k][2] = 0.0;
        widenings(s.image, s.widen);
        seen.push_back(s);
    }
    return seen;
}

double rmsDistance(const Seen& s, const double pose[3][4]) {
    return std::sqrt(poseReprojectionError(s.model, s.image, 4, pose));
}

struct Proposal {
    double pose[3][4] = {};
    std::vector<int> explained;  // indices into the seen markers
    double confidence = 0.0;     // summed over those explained: a wrong identification matches worse
    double misfit = 0.0;         // sum of squared RMS distances over the side, of those explained
};

bool propose(const DetectedMarker* markers, const std::vector<Seen>& seen, size_t from, bool precise,
             Proposal* out) {
    const Seen& s = seen[from];
    const double error = precise ? estimatePrecisePose(&markers[s.index], s.place->centre, s.place->width, out->pose)
                                 : estimateMarkerPose(&markers[s.index], s.place->centre, s.place->width, out->pose);
    if (error < 0) return false;
    for (size_t j = 0; j < seen.size(); j++) {
        const double share = rmsDistance(seen[j], out->pose) / seen[j].side;
        if (!(share < kProposalTolerance)) continue;
        out->explained.push_back(static_cast<int>(j));
        out->confidence += markers[seen[j].index].confidence;
        out->misfit += share * share;
    }
    return true;
}

bool bestProposal(const DetectedMarker* markers, const std::vector<Seen>& seen, bool precise, Proposal* best) {
    bool any = false;
    for (size_t i = 0; i < seen.size(); i++) {
        Proposal p;
        if (!propose(markers, seen, i, precise, &p)) continue;
        const size_t n = p.explained.size(), bestN = any ? best->explained.size() : 0;
        const bool better = !any || n > bestN || (n == bestN && p.confidence > best->confidence) ||
                            (n == bestN && p.confidence == best->confidence && p.misfit < best->misfit);
        if (better) *best = p, any = true;
    }
    return any;
}

// All corners of the chosen markers fitted as one, from `pose`; the mean squared error, or -1.
// Precise fits of several markers also fit how far every outline seems widened, and take that
// widening off the markers' corners.
double fitJointly(std::vector<Seen>& seen, const std::vector<int>& chosen, bool precise, double pose[3][4]) {
    std::vector<double> model(chosen.size() * 12), image(chosen.size() * 8), widen(chosen.size() * 8);
    for (size_t c = 0; c < chosen.size(); c++) {
        std::copy(&seen[chosen[c]].model[0][0], &seen[chosen[c]].model[0][0] + 12, &model[c * 12]);
        std::copy(&seen[chosen[c]].image[0][0], &seen[chosen[c]].image[0][0] + 8, &image[c * 8]);
        std::copy(&seen[chosen[c]].widen[0][0], &seen[chosen[c]].widen[0][0] + 8, &widen[c * 8]);
    }
    const int n = static_cast<int>(chosen.size() * 4);
    const auto* points = reinterpret_cast<const double(*)[3]>(model.data());
    const auto* corners = reinterpret_cast<const double(*)[2]>(image.data());
    if (precise && chosen.size() > 1) {
        double widening = 0;
        const double error =
            polishPoseWidened(points, corners, reinterpret_cast<const double(*)[2]>(widen.data()), n, pose, &widening);
        for (int c : chosen)
            for (int k = 0; k < 4; k++)
                for (int i = 0; i < 2; i++) seen[c].image[k][i] -= widening * seen[c].widen[k][i];
        return std::isfinite(error) ? error : -1;
    }
    if (precise) {
        const double error = polishPose(points, corners, n, pose);
        return std::isfinite(error) ? error : -1;
    }
    std::vector<double> plane(n * 2);
    for (int k = 0; k < n; k++) plane[k * 2] = points[k][0], plane[k * 2 + 1] = points[k][1];
    double R[3][3], result[3][4], error = -1;
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) R[r][c] = pose[r][c];
    for (int pass = 0; pass < 5; pass++) {
        error = poseFromCorrespondences(R, corners, reinterpret_cast<const double(*)[2]>(plane.data()), n, result);
        if (error < 1.0) break;
    }
    if (error < 0) return -1;
    std::copy(&result[0][0], &result[0][0] + 12, &pose[0][0]);
    return error;
}

// The chosen marker the pose misses by most, when that is beyond what the others allow; else -1.
int worstOutlier(const std::vector<Seen>& seen, const std::vector<int>& chosen, const double pose[3][4]) {
    if (chosen.size() < 2) return -1;
    std::vector<double> distance(chosen.size());
    for (size_t c = 0; c < chosen.size(); c++) distance[c] = rmsDistance(seen[chosen[c]], pose);
    const size_t worst = std::max_element(distance.begin(), distance.end()) - distance.begin();
    std::vector<double> others;
    for (size_t c = 0; c < chosen.size(); c++)
        if (c != worst) others.push_back(distance[c]);
    std::nth_element(others.begin(), others.begin() + others.size() / 2, others.end());
    const double allowed = std::max(kJointTolerance, kJointSpread * others[others.size() / 2]);
    return distance[worst] > allowed ? static_cast<int>(worst) : -1;
}

}  // namespace

double estimateMatPose(const Mat& mat, const DetectedMarker* markers, int count, bool precise, MatPose* out) {
    std::vector<Seen> seen = seenMarkers(mat, markers, count);
    Proposal proposal;
    if (seen.empty() || !bestProposal(markers, seen, precise, &proposal)) return -1;
    std::vector<int> chosen = proposal.explained;
    double pose[3][4], error = -1;
    std::copy(&proposal.pose[0][0], &proposal.pose[0][0] + 12, &pose[0][0]);
    for (;;) {
        error = fitJointly(seen, chosen, precise, pose);
        if (error < 0) return -1;
        const int outlier = worstOutlier(seen, chosen, pose);
        if (outlier < 0) break;
        chosen.erase(chosen.begin() + outlier);
    }
    std::copy(&pose[0][0], &pose[0][0] + 12, &out->transform[0][0]);
    out->error = error;
    out->usedCount = 0;
    out->refined = true;
    for (int c : chosen) {
        out->used[out->usedCount++] = seen[c].index;
        out->refined = out->refined && markers[seen[c].index].refined;
    }
    return error;
}

int refineMatMarkers(const uint8_t* frame, const Mat& mat, DetectedMarker* markers, int count) {
    const std::vector<int> chosen = chooseDetections(mat, markers, count);
    return refineMarkerSet(frame, markers, static_cast<int>(chosen.size()), chosen.data());
}
