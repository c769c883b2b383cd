// tracking_accuracy: scores the tracker's corners and poses against the truth on frames the
// synthetic camera renders with known poses (640x480 and 320x240, noise, blur, barrel
// distortion, markers 56-190 px wide), and the spread of the pose over noise seeds.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "synthcam.h"
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
};

struct Score {
    bool found = false;
    double corners[4] = {};
    double distance = 0;  // signed, relative to the true distance
    double rotationDeg = 0;
    double rotationVector[3] = {};  // axis * angle of found * truth^T, degrees
};

struct Pipeline {
    const char* name;
    // Pose of the chosen marker, false when there is none.
    bool (*run)(const uint8_t* frame, DetectedMarker* marker, double pose[3][4]);
};

const DetectedMarker* firstIdentified(const uint8_t* frame) {
    DetectedMarker* list = nullptr;
    int count = 0;
    resetMarkerHistory();
    if (detectMarkers(frame, 100, &list, &count) < 0) return nullptr;
    for (int i = 0; i < count; i++)
        if (list[i].id == 0) return &list[i];
    return nullptr;
}

bool runExact(const uint8_t* frame, DetectedMarker* marker, double pose[3][4]) {
    const DetectedMarker* found = firstIdentified(frame);
    if (!found) return false;
    *marker = *found;
    const double centre[2] = {0, 0};
    return estimateMarkerPose(marker, centre, 80.0, pose) >= 0;
}

// The tracker before poses were fitted in ideal coordinates: the corners went back to observed
// coordinates and were compared there with the pinhole projection.
bool runBefore(const uint8_t* frame, DetectedMarker* marker, double pose[3][4]) {
    const DetectedMarker* found = firstIdentified(frame);
    if (!found) return false;
    *marker = *found;
    DetectedMarker distorted = *found;
    const double* distortion = trackerCameraParams()->distortion;
    for (auto& corner : distorted.corners) idealToObserved(distortion, corner[0], corner[1], &corner[0], &corner[1]);
    const double centre[2] = {0, 0};
    return estimateMarkerPose(&distorted, centre, 80.0, pose) >= 0;
}

bool runEdgesOnly(const uint8_t* frame, DetectedMarker* marker, double pose[3][4]) {
    const DetectedMarker* found = firstIdentified(frame);
    if (!found) return false;
    *marker = *found;
    refineMarkerEdges(frame, marker);
    const double centre[2] = {0, 0};
    return estimateMarkerPose(marker, centre, 80.0, pose) >= 0;
}

bool runRefined(const uint8_t* frame, DetectedMarker* marker, double pose[3][4]) {
    const DetectedMarker* found = firstIdentified(frame);
    if (!found) return false;
    *marker = *found;
    refineMarkerEdges(frame, marker);
    const double centre[2] = {0, 0};
    return estimatePrecisePose(marker, centre, 80.0, pose) >= 0;
}

const Pipeline kPipelines[] = {{"before", runBefore}, {"exact", runExact}, {"edges", runEdgesOnly}, {"refined", runRefined}};

std::vector<FrameCase> spreadCases(int count) {
    std::mt19937 random(2024);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    std::vector<FrameCase> cases;
    for (int i = 0; i < count; i++) {
        FrameCase c;
        bool small = i % 2 == 1;
        c.width = small ? 320 : 640;
        c.height = small ? 240 : 480;
        c.pixelWidth = std::exp(uniform(std::log(56.0), std::log(small ? 130.0 : 190.0)));
        c.tilt = uniform(0, 65);
        c.yaw = uniform(-20, 20);
        c.spin = uniform(0, 360);
        double k = c.width / 640.0;
        // Offsets that keep the whole marker inside the frame.
        double room = std::max(0.0, (c.height / 2.0 - 0.8 * c.pixelWidth) / (660.0 * k));
        c.offsetX = uniform(-1, 1) * room * 1.3;
        c.offsetY = uniform(-1, 1) * room;
        c.noise = uniform(2, 6);
        c.blur = (i / 2) % 3;
        c.seed = 100 + i;
        cases.push_back(c);
    }
    return cases;
}

// A camera's response the renderer does not model: a tone curve and a lifted black level.
struct Response {
    double gamma = 1.0;  // output = input^(1/gamma)
    double black = 0.0;  // grey value of a black surface
};
Response theResponse;

void applyResponse(std::vector<uint8_t>& bgrx) {
    if (theResponse.gamma == 1.0 && theResponse.black == 0.0) return;
    uint8_t table[256];
    for (int v = 0; v < 256; v++)
        table[v] = static_cast<uint8_t>(
            std::lround(theResponse.black + (255 - theResponse.black) * std::pow(v / 255.0, 1 / theResponse.gamma)));
    for (size_t i = 0; i < bgrx.size(); i++)
        if (i % 4 != 3) bgrx[i] = table[bgrx[i]];
}

struct Rendered {
    CameraIntrinsics camera;
    SynthFrame frame;
    double pose[3][4];
};

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
    renderSynthFrame(r.camera, &marker, 1, options, &r.frame);
    applyResponse(r.frame.bgrx);
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 4; j++) r.pose[i][j] = marker.pose[i][j];
    return r;
}

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

Score score(const Pipeline& p, const Rendered& r) {
    Score s;
    setTrackerCameraParams(&r.camera);
    DetectedMarker marker;
    double pose[3][4];
    if (!p.run(r.frame.bgrx.data(), &marker, pose)) return s;
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

double quantile(std::vector<double> v, double q) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(q * (v.size() - 1) + 0.5)];
}

void printSpread(const Pipeline& p, const std::vector<Rendered>& frames, const std::vector<FrameCase>& cases,
                 bool verbose) {
    std::vector<double> corners, distance, rotation;
    int found = 0;
    for (size_t i = 0; i < frames.size(); i++) {
        Score s = score(p, frames[i]);
        if (verbose) {
            const FrameCase& c = cases[i];
            std::printf("  %-8s %3dx%-3d %5.1f px tilt %4.1f yaw %5.1f spin %5.1f at %+.3f %+.3f noise %.1f blur %d seed %u: "
                        "corners %.3f %.3f %.3f %.3f distance %+.3f %% rotation %.3f deg%s\n",
                        p.name, c.width, c.height, c.pixelWidth, c.tilt, c.yaw, c.spin, c.offsetX, c.offsetY, c.noise,
                        c.blur, c.seed, s.corners[0],
                        s.corners[1], s.corners[2], s.corners[3], 100 * s.distance, s.rotationDeg,
                        s.found ? "" : " (not found)");
        }
        if (!s.found) continue;
        found++;
        corners.insert(corners.end(), s.corners, s.corners + 4);
        distance.push_back(std::fabs(s.distance) * 100);
        rotation.push_back(s.rotationDeg);
    }
    std::printf("| %-8s | %2d/%zu | %.3f px / %.3f | %.3f %% / %.3f | %.3f deg / %.3f | %.3f deg |\n", p.name, found,
                frames.size(), quantile(corners, 0.5), quantile(corners, 1), quantile(distance, 0.5),
                quantile(distance, 1), quantile(rotation, 0.5), quantile(rotation, 1), quantile(rotation, 0.95));
}

// Standard deviation of the rotation (about the mean rotation error vector) and of the distance.
void printJitter(const Pipeline& p, const std::vector<Rendered>& frames, const char* label) {
    std::vector<Score> scores;
    for (const Rendered& r : frames) {
        Score s = score(p, r);
        if (s.found) scores.push_back(s);
    }
    if (scores.size() < 2) {
        std::printf("| %-8s | %s | too few found |\n", p.name, label);
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
    std::printf("| %-8s | %s | %zu | %.4f deg | %.4f %% | mean distance error %+.3f %% |\n", p.name, label,
                scores.size(), std::sqrt(rot / n), 100 * std::sqrt(dist / n), 100 * meanDistance);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Scores the tracker against rendered frames with known poses."};
    int frameCount = 40, seeds = 30, supersample = 6;
    bool verbose = false;
    app.add_option("--frames", frameCount, "frames over the range of poses")->check(CLI::Range(1, 1000));
    app.add_option("--seeds", seeds, "noise seeds for the jitter measure")->check(CLI::Range(2, 1000));
    app.add_option("--supersample", supersample, "samples per pixel along each axis")->check(CLI::Range(1, 16));
    app.add_flag("--verbose", verbose, "scores of every frame");
    app.add_option("--gamma", theResponse.gamma, "camera tone curve, output = input^(1/gamma)")->check(CLI::Range(0.2, 5.0));
    app.add_option("--black", theResponse.black, "grey value of black surfaces")->check(CLI::Range(0.0, 200.0));
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

    std::vector<FrameCase> cases = spreadCases(frameCount);
    std::vector<Rendered> frames;
    for (const FrameCase& c : cases) frames.push_back(render(c, picture, supersample));
    std::printf("| pipeline | found | corner error median / worst | distance error median / worst | "
                "rotation error median / worst | rotation 95th |\n|---|---|---|---|---|---|\n");
    for (const Pipeline& p : kPipelines) printSpread(p, frames, cases, verbose);

    const FrameCase jitterCases[] = {{640, 480, 100, 30, 10, 20, 0.05, -0.05, 4, 0, 1},
                                     {320, 240, 60, 45, -10, 70, -0.1, 0.05, 4, 1, 1}};
    const char* labels[] = {"640x480, 100 px, tilt 30", "320x240, 60 px, tilt 45, blur"};
    std::printf("\n| pipeline | pose | seeds | rotation spread | distance spread | |\n|---|---|---|---|---|---|\n");
    for (int j = 0; j < 2; j++) {
        std::vector<Rendered> same;
        for (int s = 0; s < seeds; s++) {
            FrameCase c = jitterCases[j];
            c.seed = 1000 + s;
            same.push_back(render(c, picture, supersample));
        }
        for (const Pipeline& p : kPipelines) printJitter(p, same, labels[j]);
    }
    return 0;
}
