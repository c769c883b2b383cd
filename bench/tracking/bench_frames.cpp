#include "bench_frames.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "tracking/marker.h"

namespace {

std::vector<uint8_t> render(const BenchFrames& b, const SynthMarker* markers, int count) {
    SynthOptions options;
    options.supersample = 2;
    options.noiseSigma = 2.0;
    SynthFrame frame;
    renderSynthFrame(b.camera, markers, count, options, &frame);
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

BenchFrames* build() {
    auto* b = new BenchFrames;
    b->camera = makeWebcamIntrinsics(640, 480);
    b->picture = defaultMarkerPicture();
    setTrackerCameraParams(&b->camera);
    loadPicturePattern(b->picture);
    SynthMarker five[5];
    const double placements[5][4] = {{650, 20, 0, -150}, {700, 30, 40, 0}, {650, 10, 120, 150},
                                     {750, 35, 200, -90}, {750, 25, 300, 90}};
    for (int i = 0; i < 5; i++) {
        five[i].picture = &b->picture;
        double y = i < 3 ? -70 : 90;
        makeMarkerPose(placements[i][0], placements[i][1], 0, placements[i][2], placements[i][3], y, five[i].pose);
    }
    SynthMarker one;
    one.picture = &b->picture;
    makeMarkerPose(450, 30, 10, 20, 0, 0, one.pose);
    b->frames[0] = render(*b, nullptr, 0);
    b->frames[1] = render(*b, &one, 1);
    b->frames[2] = render(*b, five, 5);
    b->frames[3] = saltAndPepper(b->frames[0], 0.3);
    return b;
}

}  // namespace

const BenchFrames& benchFrames() {
    static BenchFrames* frames = build();
    return *frames;
}

const std::vector<uint8_t>& benchFrame(BenchScene scene) { return benchFrames().frames[static_cast<int>(scene)]; }
