// tracking_light_rates: how often the tracker finds a marker under hard light, with the fixed
// threshold and with automatic thresholding, on frames rendered by the synthetic camera.
//   tracking_light_rates [--frames N] [--seed S] [--marker PICTURE.ppm] [--size WxH]
// Each frame is met cold (no history, no kept level), as when the marker has just come into view.
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <string>

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

bool parse(int argc, char** argv, Settings* s) {
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string name = argv[i];
        if (name == "--frames") s->frames = std::atoi(argv[i + 1]);
        else if (name == "--seed") s->seed = static_cast<unsigned>(std::atoi(argv[i + 1]));
        else if (name == "--marker") s->marker = argv[i + 1];
        else if (name == "--size") {
            if (std::sscanf(argv[i + 1], "%dx%d", &s->width, &s->height) != 2) return false;
        } else
            return false;
    }
    return argc % 2 == 1 && s->frames > 0 && s->width > 0 && s->height > 0;
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
    char path[] = "/tmp/rovanta_light_rates_XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return false;
    close(fd);
    clearPatterns();
    bool ok = savePatternFile(path, values) == 0 && loadPattern(path) == 0;
    std::remove(path);
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
    if (!parse(argc, argv, &s)) {
        std::fprintf(stderr, "usage: tracking_light_rates [--frames N] [--seed S] [--marker PICTURE.ppm] [--size WxH]\n");
        return 2;
    }
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
