// Measures the race frame end to end: runs the game's frame function on a
// scene's video without pacing, in a real window, and reports frames per
// second and where the time goes.
#include <GL/freeglut.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "app/game.h"
#include "app/game_state.h"
#include "app/video/video.h"
#include "command_line_glue.h"
#include "world/keys.h"

namespace {

struct Options {
    std::string scene = "Scene.txt";
    int frames = 600;
    bool holdUp = true;
};

std::optional<int> readOptions(int argc, char** argv, Options& options) {
    CLI::App app{"Runs the race frame on a scene's video without pacing, in a window, and prints frames per\n"
                 "second and where the time goes as one JSON line.",
                 "rovanta-framebench"};
    setUpCommandLine(app);
    app.add_option("-s", options.scene, "scene file (default Scene.txt)")->type_name("SCENE");
    addWholeNumber(app, "--frames", options.frames, 1, 10000000, "frames to run (default 600)");
    app.add_flag_callback("--no-keys", [&options] { options.holdUp = false; }, "do not hold the UP key");
    return parseCommandLine(app, argc, argv);
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
    // Options first, so that --help needs no display.
    Options options;
    if (std::optional<int> status = readOptions(argc, argv, options)) return *status;
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);

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
