#include <GL/glut.h>

#include <cstdio>
#include <optional>

#include "app/camera_options.h"
#include "app/command_line.h"
#include "app/game.h"
#include "app/game_state.h"
#include "app/video/video.h"
#include "display/gl_modes.h"

int main(int argc, char** argv) {
    // Before GLUT sees the arguments, so that --help and --list-cameras need no display.
    CameraOptions camera;
    if (const std::optional<int> status = readCameraOptions(argc, argv, camera)) return *status;
    if (camera.listCameras) {
        std::fputs(cameraListing().c_str(), stdout);
        return 0;
    }
    videoSetCameraRequest(camera.request);
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);
    const CommandLine options = parseCommandLine(argc, argv);
    if (!options.error.empty()) {
        std::fprintf(stderr, "rovanta: %s\n", options.error.c_str());
        return 1;
    }
    theGame.debugMode = options.debugMode;
    theGame.automaticThreshold = !options.fixedThreshold;
    if (options.showAbout) std::fputs(aboutText(), stdout);
    initialiseGame(options.scenePath);
    // The arrow keys are read as held or not once per step; the keyboard's
    // auto-repeat would flicker them up and down while a key is held.
    glutIgnoreKeyRepeat(1);
    glutSpecialFunc(onSpecialKeyDown);
    glutKeyboardUpFunc(onKeyUp);
    glutSpecialUpFunc(onSpecialKeyUp);
    glutVisibilityFunc(onVisibility);
    startMainLoop(onMouse, onKeyDown, runFrame);
}
