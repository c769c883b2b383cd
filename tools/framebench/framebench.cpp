// Measures the race frame end to end: runs the game's frame function on a
// scene's video without pacing, in a real window, and reports frames per
// second and where the time goes.
#include <GL/freeglut.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/game.h"
#include "app/game_state.h"
#include "app/video/video.h"
#include "world/keys.h"

namespace {

struct Options {
    std::string scene = "Scene.txt";
    int frames = 600;
    bool holdUp = true;
};

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "-s") && hasValue) {
            options.scene = argv[++i];
        } else if (!std::strcmp(argv[i], "--frames") && hasValue) {
            options.frames = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--no-keys")) {
            options.holdUp = false;
        } else {
            std::fprintf(stderr, "usage: rovanta-framebench [-s SCENE] [--frames N] [--no-keys]\n");
            return false;
        }
    }
    return options.frames > 0;
}

double milliseconds(double seconds, int frames) { return frames ? seconds * 1000.0 / frames : 0.0; }

void report(const FrameTimings& t, int frames, double totalSeconds) {
    std::printf("{\"frames\": %d, \"frames_with_world\": %d, \"seconds\": %.3f, \"fps\": %.1f, "
                "\"ms_per_frame\": {\"upload\": %.3f, \"detection\": %.3f, \"pose\": %.3f, "
                "\"draw\": %.3f, \"of_which_hud\": %.3f, \"swap\": %.3f, \"total\": %.3f}}\n",
                frames, t.framesWithWorld, totalSeconds, frames / totalSeconds,
                milliseconds(t.uploadSeconds, frames), milliseconds(t.detectionSeconds, frames),
                milliseconds(t.poseSeconds, frames), milliseconds(t.drawSeconds, frames),
                milliseconds(t.hudSeconds, frames), milliseconds(t.swapSeconds, frames),
                milliseconds(totalSeconds, frames));
}

}  // namespace

int main(int argc, char** argv) {
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);
    Options options;
    if (!parseOptions(argc, argv, options)) return 2;

    initialiseGame(options.scene);
    videoSetPacing(false);
    theGame.showTitle = false;
    videoCapStart();
    if (options.holdUp) setKeyHeld(theKeys, kKeyUp, true);

    glutDisplayFunc([] {});  // GLUT insists on one; the loop below drives the frames itself
    FrameTimings timings;
    theGame.timings = &timings;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < options.frames; ++i) {
        runFrame();
        glutMainLoopEvent();
    }
    glFinish();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    report(timings, options.frames, seconds);
    shutdownAndRelease();
    return 0;
}
