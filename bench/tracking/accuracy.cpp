// tracking_accuracy: scores the tracker's corners and poses against the truth on frames the
// synthetic camera renders with known poses, in two standard sets: clean frames (light added up
// linearly as on a sensor: 640x480 and 320x240, noise, blur, barrel distortion, markers 56-190 px)
// and webcam frames (1280x720 through a tone curve, lens blur, photon and read noise and MJPEG),
// and the spread of the pose over noise seeds.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "synthcam.h"
#include "tracking/auto_threshold.h"
#include "tracking/marker.h"
#include "tracking/pose.h"
#include "tracking/refine.h"

namespace {

constexpr double kRadToDeg = 180.0 / 3.141592653589793;

struct FrameCase {
    int width = 640, height = 480;
    double pixelWidth = 100, tilt = 0, yaw = 0, spin = 0, offsetX = 0, offsetY = 0, noise = 2;
    int blur = 0;
    unsigned seed = 1;
    double ink = 0, paper = 255, table = 1;
    SynthWebcam webcam;
};

struct Score {
    bool found = false;
    int falseIds = 0;
    double corners[4] = {};
    double distance = 0;  // signed, relative to the true distance
    double rotationDeg = 0;
    double rotationVector[3] = {};  // axis * angle of found * truth^T, degrees
};

struct Rendered {
    CameraIntrinsics camera;
    SynthFrame frame;
    double pose[3][4];
};

// The chosen marker's corners and pose; false when there is none.
using Pipeline = bool (*)(const uint8_t* frame, DetectedMarker* marker, double pose[3][4]);
struct NamedPipeline {
    const char* name;
    Pipeline run;
};

const double kCentre[2] = {0, 0};

// The marker as detection finds it (automatic threshold, as the game and rovanta-track run).
bool detectNearTruth(const uint8_t* frame, const Rendered& r, DetectedMarker* marker, int* falseIds) {
    DetectedMarker* list = nullptr;
    int count = 0;
    resetMarkerHistory();
    resetAutoThreshold();
    *falseIds = 0;
    if (detectMarkersAuto(frame, kDefaultThreshold, &list, &count) < 0) return false;
    bool found = false;
    for (int i = 0; i < count; i++) {
        if (list[i].id < 0) continue;
        // The right marker: its corners within 8 px of the truth's, in its own turn (detection's
        // corners lie up to a few pixels off under a tone curve and a steep tilt).
        double worst = 0;
        for (int j = 0; j < 4; j++) {
            int k = (j + list[i].orientation) % 4;
            const double* truth = &r.frame.idealCorners[0][2 * k];
            worst = std::max(worst, std::hypot(list[i].corners[j][0] - truth[0], list[i].corners[j][1] - truth[1]));
        }
        if (list[i].id == 0 && worst < 8.0 && !found) {
            *marker = list[i];
            found = true;
        } else {
            ++*falseIds;
        }
    }
    return found;
}

bool poseExact(DetectedMarker* marker, double pose[3][4]) { return estimateMarkerPose(marker, kCentre, 80.0, pose) >= 0; }

// The tracker before poses were fitted in ideal coordinates: the corners went back to observed
// coordinates and were compared there with the pinhole projection.
bool poseBefore(DetectedMarker* marker, double pose[3][4]) {
    DetectedMarker distorted = *marker;
    const double* distortion = trackerCameraParams()->distortion;
    for (auto& corner : distorted.corners) idealToObserved(distortion, corner[0], corner[1], &corner[0], &corner[1]);
    return estimateMarkerPose(&distorted, kCentre, 80.0, pose) >= 0;
}

struct Outcome {
    Score score;
    bool ok = false;
};

enum class Stage { Before, Exact, Edges, Refined };

bool runStage(Stage stage, const uint8_t* frame, DetectedMarker* marker, double pose[3][4]) {
    switch (stage) {
        case Stage::Before: return poseBefore(marker, pose);
        case Stage::Exact: return poseExact(marker, pose);
        case Stage::Edges: refineMarkerEdges(frame, marker); return poseExact(marker, pose);
        case Stage::Refined:
            refineMarkerEdges(frame, marker);
            return estimatePrecisePose(marker, kCentre, 80.0, pose) >= 0;
    }
    return false;
}

const struct {
    const char* name;
    Stage stage;
} kStages[] = {{"before", Stage::Before}, {"exact", Stage::Exact}, {"edges", Stage::Edges}, {"refined", Stage::Refined}};

void rotationDifference(const double found[3][4], const double truth[3][4], Score* s) {
    double d[3][3];
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) d[i][j] = found[i][0] * truth[j][0] + found[i][1] * truth[j][1] + found[i][2] * truth[j][2];
    double c = std::clamp((d[0][0] + d[1][1] + d[2][2] - 1) / 2, -1.0, 1.0);
    double angle = std::acos(c);
    s->rotationDeg = angle * kRadToDeg;
    double axis[3] = {d[2][1] - d[1][2], d[0][2] - d[2][0], d[1][0] - d[0][1]};
    double n = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    for (int i = 0; i < 3; i++) s->rotationVector[i] = n > 0 ? axis[i] / n * s->rotationDeg : 0;
}

Score score(Stage stage, const Rendered& r) {
    Score s;
    setTrackerCameraParams(&r.camera);
    DetectedMarker marker;
    double pose[3][4];
    if (!detectNearTruth(r.frame.bgrx.data(), r, &marker, &s.falseIds)) return s;
    if (!runStage(stage, r.frame.bgrx.data(), &marker, pose)) return s;
    s.found = true;
    const std::vector<double>& truth = r.frame.idealCorners[0];
    for (int j = 0; j < 4; j++) {
        int k = (j + marker.orientation) % 4;
        s.corners[j] = std::hypot(marker.corners[j][0] - truth[2 * k], marker.corners[j][1] - truth[2 * k + 1]);
    }
    double found = std::hypot(std::hypot(pose[0][3], pose[1][3]), pose[2][3]);
    double real = std::hypot(std::hypot(r.pose[0][3], r.pose[1][3]), r.pose[2][3]);
    s.distance = (found - real) / real;
    rotationDifference(pose, r.pose, &s);
    return s;
}

struct Draw {
    std::mt19937 random;
    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); }
    double logUniform(double lo, double hi) { return std::exp(uniform(std::log(lo), std::log(hi))); }
};

// Offsets (shares of the distance) that keep the whole marker inside the frame.
void placeInView(Draw& d, FrameCase& c) {
    double k = c.width / 640.0;
    double room = std::max(0.0, (c.height / 2.0 - 0.8 * c.pixelWidth) / (660.0 * k));
    c.offsetX = d.uniform(-1, 1) * room * 0.975 * c.width / c.height;
    c.offsetY = d.uniform(-1, 1) * room;
}

std::vector<FrameCase> cleanCases(int count, unsigned seed) {
    Draw d{std::mt19937(2023 + seed)};
    std::vector<FrameCase> cases;
    for (int i = 0; i < count; i++) {
        FrameCase c;
        bool small = i % 2 == 1;
        c.width = small ? 320 : 640;
        c.height = small ? 240 : 480;
        c.pixelWidth = d.logUniform(56.0, small ? 130.0 : 190.0);
        c.tilt = d.uniform(0, 65);
        c.yaw = d.uniform(-20, 20);
        c.spin = d.uniform(0, 360);
        placeInView(d, c);
        c.noise = d.uniform(2, 6);
        c.blur = (i / 2) % 3;
        c.seed = 100 * seed + i;
        cases.push_back(c);
    }
    return cases;
}

// A webcam at 1280x720: printed ink and paper under the room's light, a tone curve of gamma
// 1.8-2.4, lens blur of 0.5-1.1 px, photon and read noise, MJPEG at quality 70-92.
std::vector<FrameCase> webcamCases(int count, unsigned seed) {
    Draw d{std::mt19937(7000 + seed)};
    std::vector<FrameCase> cases;
    for (int i = 0; i < count; i++) {
        FrameCase c;
        c.width = 1280, c.height = 720;
        c.pixelWidth = d.logUniform(64.0, 320.0);
        c.tilt = d.uniform(0, 65);
        c.yaw = d.uniform(-20, 20);
        c.spin = d.uniform(0, 360);
        placeInView(d, c);
        c.paper = d.uniform(0.5, 0.95) * 255;
        c.ink = c.paper * d.uniform(0.02, 0.08);
        c.table = c.paper / 255 * d.uniform(0.7, 1.1);
        c.webcam.enabled = true;
        c.webcam.gamma = d.uniform(1.8, 2.4);
        c.webcam.blurSigma = d.uniform(0.5, 1.1);
        c.webcam.electronsAtWhite = d.logUniform(1500, 8000);
        c.webcam.readNoise = d.uniform(0.5, 2.5);
        c.webcam.jpegQuality = static_cast<int>(d.uniform(70, 92.999));
        c.webcam.chroma422 = d.uniform(0, 1) < 0.5;
        c.seed = 100 * seed + i;
        cases.push_back(c);
    }
    return cases;
}

Rendered render(const FrameCase& c, const SynthPicture& picture, int supersample) {
    Rendered r;
    r.camera = makeWebcamIntrinsics(c.width, c.height);
    double f = r.camera.projection[0][0];
    double distance = f * 80.0 / c.pixelWidth;
    SynthMarker marker;
    marker.picture = &picture;
    makeMarkerPose(distance, c.tilt, c.yaw, c.spin, c.offsetX * distance, c.offsetY * distance, marker.pose);
    SynthOptions options;
    options.supersample = supersample;
    options.noiseSigma = c.noise;
    options.blurPasses = c.blur;
    options.seed = c.seed;
    options.ink = c.ink, options.paper = c.paper, options.tableBrightness = c.table;
    options.webcam = c.webcam;
    renderSynthFrame(r.camera, &marker, 1, options, &r.frame);
    std::copy(&marker.pose[0][0], &marker.pose[0][0] + 12, &r.pose[0][0]);
    return r;
}

double quantile(std::vector<double> v, double q) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(q * (v.size() - 1) + 0.5)];
}

void printCase(const char* stage, const FrameCase& c, const Score& s) {
    std::printf("  %-8s %4dx%-3d %5.1f px tilt %4.1f yaw %5.1f spin %5.1f at %+.3f %+.3f", stage, c.width, c.height,
                c.pixelWidth, c.tilt, c.yaw, c.spin, c.offsetX, c.offsetY);
    if (c.webcam.enabled)
        std::printf(" gamma %.2f blur %.2f q%d%s", c.webcam.gamma, c.webcam.blurSigma, c.webcam.jpegQuality,
                    c.webcam.chroma422 ? " 422" : "");
    else
        std::printf(" noise %.1f blur %d", c.noise, c.blur);
    std::printf(": corners %.3f %.3f %.3f %.3f distance %+.3f %% rotation %.3f deg%s\n", s.corners[0], s.corners[1],
                s.corners[2], s.corners[3], 100 * s.distance, s.rotationDeg, s.found ? "" : " (not found)");
}

void printSpread(const char* name, Stage stage, const std::vector<Rendered>& frames,
                 const std::vector<FrameCase>& cases, bool verbose) {
    std::vector<double> corners, distance, rotation;
    int found = 0, falseIds = 0;
    for (size_t i = 0; i < frames.size(); i++) {
        Score s = score(stage, frames[i]);
        if (verbose) printCase(name, cases[i], s);
        falseIds += s.falseIds;
        if (!s.found) continue;
        found++;
        corners.insert(corners.end(), s.corners, s.corners + 4);
        distance.push_back(std::fabs(s.distance) * 100);
        rotation.push_back(s.rotationDeg);
    }
    std::printf("| %-8s | %2d/%zu | %d | %.3f px / %.3f | %.3f %% / %.3f | %.3f deg / %.3f | %.3f deg |\n", name, found,
                frames.size(), falseIds, quantile(corners, 0.5), quantile(corners, 1), quantile(distance, 0.5),
                quantile(distance, 1), quantile(rotation, 0.5), quantile(rotation, 1), quantile(rotation, 0.95));
}

void printSet(const char* title, const std::vector<FrameCase>& cases, const SynthPicture& picture, int supersample,
              bool verbose) {
    std::vector<Rendered> frames;
    for (const FrameCase& c : cases) frames.push_back(render(c, picture, supersample));
    std::printf("\n%s\n\n| pipeline | found | false ids | corner error median / worst | distance error median / worst | "
                "rotation error median / worst | rotation 95th |\n|---|---|---|---|---|---|---|\n",
                title);
    for (const auto& s : kStages)
        if (s.stage != Stage::Before || !cases.front().webcam.enabled) printSpread(s.name, s.stage, frames, cases, verbose);
}

// Standard deviation of the rotation (about the mean rotation error vector) and of the distance.
void printJitter(const char* name, Stage stage, const std::vector<Rendered>& frames, const char* label) {
    std::vector<Score> scores;
    for (const Rendered& r : frames) {
        Score s = score(stage, r);
        if (s.found) scores.push_back(s);
    }
    if (scores.size() < 2) {
        std::printf("| %-8s | %s | too few found |\n", name, label);
        return;
    }
    double mean[3] = {}, meanDistance = 0;
    for (const Score& s : scores) {
        for (int i = 0; i < 3; i++) mean[i] += s.rotationVector[i] / scores.size();
        meanDistance += s.distance / scores.size();
    }
    double rot = 0, dist = 0;
    for (const Score& s : scores) {
        for (int i = 0; i < 3; i++) rot += std::pow(s.rotationVector[i] - mean[i], 2);
        dist += std::pow(s.distance - meanDistance, 2);
    }
    size_t n = scores.size() - 1;
    std::printf("| %-8s | %s | %zu | %.4f deg | %.4f %% | mean distance error %+.3f %% |\n", name, label, scores.size(),
                std::sqrt(rot / n), 100 * std::sqrt(dist / n), 100 * meanDistance);
}

void printJitterSet(const SynthPicture& picture, int seeds, int supersample) {
    FrameCase jitterCases[2];
    jitterCases[0].pixelWidth = 100, jitterCases[0].tilt = 30, jitterCases[0].yaw = 10, jitterCases[0].spin = 20;
    jitterCases[0].offsetX = 0.05, jitterCases[0].offsetY = -0.05, jitterCases[0].noise = 4;
    jitterCases[1].width = 320, jitterCases[1].height = 240, jitterCases[1].pixelWidth = 60, jitterCases[1].tilt = 45;
    jitterCases[1].yaw = -10, jitterCases[1].spin = 70, jitterCases[1].offsetX = -0.1, jitterCases[1].offsetY = 0.05;
    jitterCases[1].noise = 4, jitterCases[1].blur = 1;
    const char* labels[] = {"640x480, 100 px, tilt 30", "320x240, 60 px, tilt 45, blur"};
    std::printf("\n| pipeline | pose | seeds | rotation spread | distance spread | |\n|---|---|---|---|---|---|\n");
    for (int j = 0; j < 2; j++) {
        std::vector<Rendered> same;
        for (int s = 0; s < seeds; s++) {
            FrameCase c = jitterCases[j];
            c.seed = 1000 + s;
            same.push_back(render(c, picture, supersample));
        }
        for (const auto& s : kStages) printJitter(s.name, s.stage, same, labels[j]);
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Scores the tracker against rendered frames with known poses."};
    int frameCount = 40, seeds = 30, supersample = 6;
    unsigned drawSeed = 1;
    std::string set = "all";
    bool verbose = false;
    app.add_option("--set", set, "frames to score: clean, webcam, jitter or all")
        ->check(CLI::IsMember({"clean", "webcam", "jitter", "all"}));
    app.add_option("--frames", frameCount, "frames over the range of poses, per set")->check(CLI::Range(1, 1000));
    app.add_option("--seed", drawSeed, "draws another set of poses, cameras and noise")->check(CLI::Range(1, 100000));
    app.add_option("--seeds", seeds, "noise seeds for the jitter measure")->check(CLI::Range(2, 1000));
    app.add_option("--supersample", supersample, "samples per pixel along each axis")->check(CLI::Range(1, 16));
    app.add_flag("--verbose", verbose, "scores of every frame");
    CLI11_PARSE(app, argc, argv);

    SynthPicture picture = defaultMarkerPicture(256);
    uint8_t values[kPatternFileValues];
    makePatternValues(picture, values);
    std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/rovanta_accuracy.patt";
    clearPatterns();
    if (savePatternFile(path.c_str(), values) < 0 || loadPattern(path.c_str()) != 0) {
        std::fprintf(stderr, "tracking_accuracy: cannot write the pattern file %s\n", path.c_str());
        return 1;
    }
    std::remove(path.c_str());

    if (set == "clean" || set == "all")
        printSet("Clean frames (640x480, 320x240)", cleanCases(frameCount, drawSeed), picture, supersample, verbose);
    if (set == "webcam" || set == "all")
        printSet("Webcam frames (1280x720, tone curve, lens blur, photon noise, MJPEG)",
                 webcamCases(frameCount, drawSeed), picture, supersample, verbose);
    if (set == "jitter" || set == "all") printJitterSet(picture, seeds, supersample);
    return 0;
}
