// tracking_light_rates: how often the tracker finds a marker under hard light, with the fixed
// threshold and with automatic thresholding, on frames rendered by the synthetic camera.
//   tracking_light_rates [--frames N] [--seed S] [--marker PICTURE.ppm] [--size WxH]
// Each frame is met cold (no history, no kept level), as when the marker has just come into view.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

#include "command_line_glue.h"
#include "image_file.h"
#include "synthcam.h"
#include "tracking/auto_threshold.h"

namespace {

struct Settings {
    int frames = 40;
    unsigned seed = 1000;
    std::string marker;
    int width = 640, height = 480;
};

struct Tally {
    int fixedFound = 0, fixedFalse = 0, autoFound = 0, autoFalse = 0;
    double autoMs = 0, worstMs = 0;
};

// "WxH", each side a whole number of pixels.
void readSize(const std::string& text, Settings* s) {
    const size_t x = text.find('x');
    if (x == std::string::npos) throw CLI::ValidationError("--size", "expected WxH, got " + text);
    s->width = static_cast<int>(readWholeNumber(text.substr(0, x), 16, 7680, "width"));
    s->height = static_cast<int>(readWholeNumber(text.substr(x + 1), 16, 4320, "height"));
}

std::optional<int> readSettings(int argc, char** argv, Settings* s) {
    CLI::App app{"Counts the markers found with the fixed and the automatic threshold on frames rendered\n"
                 "in a dim room, over-exposed, under a steep light gradient and with a shadow edge.",
                 "tracking_light_rates"};
    setUpCommandLine(app);
    addWholeNumber(app, "--frames", s->frames, 1, 100000, "frames per light condition (default 40)");
    int64_t seed = s->seed;
    addWholeNumber(app, "--seed", seed, 0, UINT32_MAX, "seed of the first frame (default 1000)");
    app.add_option("--marker", s->marker, "square marker picture (PPM/BMP; default the demo marker)")
        ->type_name("PICTURE");
    app.add_option_function<std::string>("--size", [s](const std::string& text) { readSize(text, s); },
                                         "frame size (default 640x480)")
        ->type_name("WxH");
    std::optional<int> status = parseCommandLine(app, argc, argv);
    s->seed = static_cast<unsigned>(seed);
    return status;
}

bool loadPicture(const Settings& s, SynthPicture* picture) {
    if (s.marker.empty()) {
        *picture = defaultMarkerPicture();
        return true;
    }
    RgbPicture image;
    std::string error;
    if (!readImageFile(s.marker, &image, &error) || image.width != image.height) {
        std::fprintf(stderr, "tracking_light_rates: %s: %s\n", s.marker.c_str(), error.empty() ? "not square" : error.c_str());
        return false;
    }
    *picture = SynthPicture{image.width, image.rgb};
    return true;
}

bool installPattern(const SynthPicture& picture) {
    uint8_t values[kPatternFileValues];
    makePatternValues(picture, values);
    // The pattern loader reads files only: one in a fresh folder of its own.
    std::string dir = (std::filesystem::temp_directory_path() / "rovanta-light-rates-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) return false;
    const std::string path = dir + "/marker.patt";
    clearPatterns();
    bool ok = savePatternFile(path.c_str(), values) == 0 && loadPattern(path.c_str()) == 0;
    std::filesystem::remove_all(dir);
    return ok;
}

// Processor time of this thread: the machine may be busy with other work.
double cpuMs() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

void runFrame(const SynthFrame& frame, Tally* t) {
    DetectedMarker* list;
    int count;
    resetMarkerHistory();
    detectMarkers(frame.bgrx.data(), kDefaultThreshold, &list, &count);
    LightScore fixed = scoreDetection(list, count, frame, 0, 4.0);
    resetMarkerHistory();
    resetAutoThreshold();
    double start = cpuMs();
    detectMarkersAuto(frame.bgrx.data(), kDefaultThreshold, &list, &count);
    double ms = cpuMs() - start;
    LightScore automatic = scoreDetection(list, count, frame, 0, 4.0);
    t->fixedFound += fixed.found, t->fixedFalse += fixed.falseIds;
    t->autoFound += automatic.found, t->autoFalse += automatic.falseIds;
    t->autoMs += ms;
    if (ms > t->worstMs) t->worstMs = ms;
}

}  // namespace

int main(int argc, char** argv) {
    Settings s;
    if (std::optional<int> status = readSettings(argc, argv, &s)) return *status;
    SynthPicture picture, other = secondMarkerPicture();
    if (!loadPicture(s, &picture)) return 1;
    CameraIntrinsics camera = makeWebcamIntrinsics(s.width, s.height);
    if (setTrackerCameraParams(&camera) < 0 || !installPattern(picture)) return 1;
    std::printf("%-13s %7s %12s %12s %10s %10s\n", "light", "frames", "fixed found", "auto found", "auto cpu ms", "worst ms");
    for (int c = 0; c < kLightConditionCount; c++) {
        Tally t;
        for (int i = 0; i < s.frames; i++) {
            LightCase lc = makeLightCase(static_cast<LightCondition>(c), camera, s.seed + i);
            SynthMarker markers[2];
            markers[0].picture = &picture;
            markers[1].picture = &other;
            std::memcpy(markers[0].pose, lc.pose, sizeof lc.pose);
            std::memcpy(markers[1].pose, lc.distractorPose, sizeof lc.distractorPose);
            SynthFrame frame;
            renderSynthFrame(camera, markers, lc.hasDistractor ? 2 : 1, lc.options, &frame);
            runFrame(frame, &t);
        }
        std::printf("%-13s %7d %8d (%d) %8d (%d) %10.3f %10.3f\n", lightConditionName(static_cast<LightCondition>(c)),
                    s.frames, t.fixedFound, t.fixedFalse, t.autoFound, t.autoFalse, t.autoMs / s.frames, t.worstMs);
        std::fflush(stdout);
    }
    return 0;
}
