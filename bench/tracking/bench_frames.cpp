#include "bench_frames.h"

#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "tracking/marker.h"

namespace {

std::vector<uint8_t> render(const CameraIntrinsics& camera, const SynthMarker* markers, int count,
                            SynthOptions options = {}, int supersample = 2) {
    options.supersample = supersample;
    if (options.noiseSigma == 0.0) options.noiseSigma = 2.0;
    SynthFrame frame;
    renderSynthFrame(camera, markers, count, options, &frame);
    return frame.bgrx;
}

// Dark pixels scattered at random over the empty frame: many tiny regions and many merges.
std::vector<uint8_t> saltAndPepper(std::vector<uint8_t> frame, double density) {
    std::mt19937 random(12345);
    std::bernoulli_distribution dark(density);
    for (size_t p = 0; p < frame.size() / 4; p++)
        if (dark(random)) frame[p * 4] = frame[p * 4 + 1] = frame[p * 4 + 2] = 5;
    return frame;
}

void loadPicturePattern(const SynthPicture& picture) {
    uint8_t values[kPatternFileValues];
    makePatternValues(picture, values);
    // The pattern loader reads files only: one in a fresh folder of its own.
    std::string dir = (std::filesystem::temp_directory_path() / "rovanta-bench-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) return;
    const std::string path = dir + "/marker.patt";
    savePatternFile(path.c_str(), values);
    clearPatterns();
    loadPattern(path.c_str());
    std::filesystem::remove_all(dir);
}

void addVgaScenes(const SynthPicture& picture, std::vector<BenchFrame>& frames) {
    CameraIntrinsics vga = makeWebcamIntrinsics(640, 480);
    SynthMarker five[5];
    const double placements[5][4] = {{650, 20, 0, -150}, {700, 30, 40, 0}, {650, 10, 120, 150},
                                     {750, 35, 200, -90}, {750, 25, 300, 90}};
    for (int i = 0; i < 5; i++) {
        five[i].picture = &picture;
        double y = i < 3 ? -70 : 90;
        makeMarkerPose(placements[i][0], placements[i][1], 0, placements[i][2], placements[i][3], y, five[i].pose);
    }
    SynthMarker one;
    one.picture = &picture;
    makeMarkerPose(450, 30, 10, 20, 0, 0, one.pose);
    frames.push_back({"no_marker", vga, render(vga, nullptr, 0)});
    frames.push_back({"one_marker", vga, render(vga, &one, 1)});
    frames.push_back({"five_markers", vga, render(vga, five, 5)});
    frames.push_back({"salt_and_pepper", vga, saltAndPepper(frames[0].pixels, 0.3)});
    for (int width : {1280, 1920}) {
        CameraIntrinsics hd = makeWebcamIntrinsics(width, width * 9 / 16);
        frames.push_back({width == 1280 ? "one_marker_720p" : "one_marker_1080p", hd, render(hd, &one, 1)});
    }
}

// Each light's frame with the marker, and the same table and light without it, at each size (the
// larger ones rendered without supersampling, which would only slow the start).
void addLightScenes(const SynthPicture& picture, std::vector<BenchFrame>& frames) {
    static const char* const names[2][4] = {{"dim", "over_exposed", "gradient", "shadow_edge"},
                                             {"dim_lost", "over_exposed_lost", "gradient_lost", "shadow_edge_lost"}};
    static const char* const sizeNames[3] = {"", "_720p", "_1080p"};
    static std::vector<std::string> labels;  // the frames keep pointers into it
    labels.reserve(3 * kLightScenesPerSize);
    const LightCondition lights[4] = {LightCondition::Dim, LightCondition::OverExposed, LightCondition::Gradient,
                                      LightCondition::ShadowEdge};
    const int widths[3] = {640, 1280, 1920};
    for (int size = 0; size < 3; size++) {
        CameraIntrinsics camera = makeWebcamIntrinsics(widths[size], widths[size] == 640 ? 480 : widths[size] * 9 / 16);
        for (int lost = 0; lost < 2; lost++)
            for (int i = 0; i < 4; i++) {
                LightCase c = makeLightCase(lights[i], camera, 3);
                SynthMarker marker;
                marker.picture = &picture;
                std::memcpy(marker.pose, c.pose, sizeof c.pose);
                std::memcpy(c.options.tablePose, c.pose, sizeof c.pose);
                labels.push_back(std::string(names[lost][i]) + sizeNames[size]);
                frames.push_back({labels.back().c_str(), camera,
                                  render(camera, &marker, lost ? 0 : 1, c.options, size == 0 ? 2 : 1)});
            }
    }
}

std::vector<BenchFrame>* build() {
    auto* frames = new std::vector<BenchFrame>;
    static const SynthPicture picture = defaultMarkerPicture();
    loadPicturePattern(picture);
    addVgaScenes(picture, *frames);
    addLightScenes(picture, *frames);
    return frames;
}

}  // namespace

const std::vector<BenchFrame>& benchFrames() {
    static std::vector<BenchFrame>* frames = build();
    return *frames;
}

const BenchFrame& useBenchFrame(BenchScene scene) {
    const BenchFrame& frame = benchFrames()[static_cast<int>(scene)];
    setTrackerCameraParams(&frame.camera);
    return frame;
}
