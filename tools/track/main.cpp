// rovanta-track: runs the marker tracker on still images, for checking a printed marker,
// a camera file and a lighting set-up without the game, and for timing the tracker.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "image_file.h"
#include "json_out.h"
#include "track_options.h"
#include "tracking/auto_threshold.h"
#include "tracking/camera_setup.h"
#include "tracking/diagnostics.h"
#include "tracking/marker.h"
#include "tracking/mat.h"
#include "tracking/median.h"
#include "tracking/pattern.h"
#include "tracking/pose.h"
#include "tracking/refine.h"

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "rovanta-track: %s\n", message.c_str());
    return 1;
}

// The game's message for a camera file it cannot use, with the cause naming the file.
int failCamera(const std::string& path, const std::string& cause) {
    return fail("Camera parameter load error !! (" + path + ": " + cause + ")");
}

int loadCamera(const std::string& path, CameraIntrinsics* loaded) {
    const std::string problem = readCameraFile(path.c_str(), loaded);
    return problem.empty() ? 0 : failCamera(path, problem);
}

Mat theMat;

int loadPatterns(const std::vector<std::string>& paths, std::vector<LoadedPattern>* loaded) {
    for (const std::string& path : paths) {
        std::string why;
        const int id = loadPatternChecked(path.c_str(), &why);
        if (id >= 0) {
            loaded->push_back({path, id});
            continue;
        }
        // A full store is no fault of the file.
        return fail(loadedPatternCount() == kMaxPatterns ? why : "pattern load error !! (" + why + ")");
    }
    return 0;
}

int loadMatFile(const std::string& path, const std::vector<LoadedPattern>& loaded) {
    if (path.empty()) return 0;
    std::string why;
    return loadMat(path.c_str(), &theMat, &why, loaded) ? 0 : fail("mat load error (" + why + ")");
}

int detect(const std::vector<uint8_t>& frame, const TrackOptions& o, DetectedMarker** list, int* count,
           ThresholdReport* threshold) {
    if (o.fixedThreshold) {
        *threshold = ThresholdReport{false, false, o.threshold};
        return detectMarkers(frame.data(), o.threshold, list, count);
    }
    int status = detectMarkersAuto(frame.data(), o.threshold, list, count);
    AutoThresholdStatus used = autoThresholdStatus();
    *threshold = ThresholdReport{true, used.local, used.level + o.threshold - kDefaultThreshold};
    return status;
}

void matPose(const DetectedMarker* list, int count, const TrackOptions& o, MatReport* report) {
    *report = MatReport{};
    report->found = estimateMatPose(theMat, list, count, !o.exact, &report->pose) >= 0;
    for (int u = 0; report->found && u < report->pose.usedCount; u++) report->ids.push_back(list[report->pose.used[u]].id);
}

double runDetection(const std::vector<uint8_t>& frame, const TrackOptions& o, std::vector<MarkerReport>* reports,
                    ThresholdReport* threshold, MatReport* mat) {
    // Photographs are not a video: markers of an earlier one must not carry their ids and turns
    // over to this one.
    resetMarkerHistory();
    setCandidateLimit(o.exact ? kMaxCandidates : kCandidateRoom);
    auto start = std::chrono::steady_clock::now();
    DetectedMarker* list = nullptr;
    int count = 0;
    reports->clear();
    if (detect(frame, o, &list, &count, threshold) < 0) return -1.0;
    if (!o.exact) refineMarkerList(frame.data(), list, count);
    const double centre[2] = {0.0, 0.0};
    for (int i = 0; i < count; i++) {
        MarkerReport r;
        r.marker = list[i];
        if (list[i].id >= 0) {
            r.poseError = o.exact ? estimateMarkerPose(&list[i], centre, o.markerWidth, r.pose)
                                  : estimatePrecisePose(&list[i], centre, o.markerWidth, r.pose);
            r.hasPose = r.poseError >= 0.0;
        }
        reports->push_back(r);
    }
    if (!o.mat.empty()) matPose(list, count, o, mat);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Whether every identified marker of the image has re-located sides (none: false).
bool allIdentifiedRefined(const std::vector<MarkerReport>& reports) {
    bool any = false;
    for (const MarkerReport& r : reports) {
        if (r.marker.id < 0) continue;
        if (!r.marker.refined) return false;
        any = true;
    }
    return any;
}

int trackImage(const std::string& path, const CameraIntrinsics& loaded, const TrackOptions& o) {
    RgbPicture picture;
    std::string error;
    // Decided from the header: a picture the tracker cannot hold is never read.
    if (!readImageFile(path, &picture, &error, kMaxTrackerPixels)) return fail(path + ": " + error);
    error = installCameraForFrames(loaded, picture.width, picture.height);
    if (!error.empty()) return fail(path + ": " + error);
    std::vector<uint8_t> frame = toBgrx(picture);
    std::vector<MarkerReport> reports;
    std::vector<double> times;
    ThresholdReport threshold;
    MatReport mat;
    for (int i = 0; i < o.repeat; i++) {
        double ms = runDetection(frame, o, &reports, &threshold, &mat);
        if (ms < 0) return fail(path + ": labeling failed (more dark regions than the tracker can number)");
        times.push_back(ms);
    }
    const double typicalMs = medianInPlace(times.data(), static_cast<int>(times.size()));
    std::printf("%s\n", imageResultJson(path, picture.width, picture.height, typicalMs, threshold,
                                        allIdentifiedRefined(reports), reports, o.mat.empty() ? nullptr : &mat)
                                .c_str());
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    TrackOptions options;
    if (std::optional<int> status = readTrackOptions(argc, argv, &options)) return *status;
    // Standard output carries one JSON object per image and nothing else.
    setTrackerDiagnostics(stderr);
    CameraIntrinsics loaded;
    if (int status = loadCamera(options.camera, &loaded); status != 0) return status;
    std::vector<LoadedPattern> patterns;
    if (int status = loadPatterns(options.patterns, &patterns); status != 0) return status;
    if (int status = loadMatFile(options.mat, patterns); status != 0) return status;
    // An image that cannot be tracked is reported and the others still are.
    int status = 0;
    for (const std::string& image : options.images)
        if (trackImage(image, loaded, options) != 0) status = 1;
    return status;
}
