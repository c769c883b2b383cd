#include <GL/glut.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "app/camera_options.h"
#include "app/command_line.h"
#include "app/demo_folder.h"
#include "app/game.h"
#include "app/game_options.h"
#include "app/game_state.h"
#include "app/scene_editing.h"
#include "app/video/video.h"
#include "display/gl_modes.h"
#include "tracking/marker.h"

namespace {

// "--demo": the game runs in the demo folder, wherever it was started.
bool enterDemoFolder() {
    const std::string folder = findDemoFolder(runningProgramPath(), ROVANTA_BUILT_DEMO_DIR);
    if (folder.empty()) {
        std::fprintf(stderr, "rovanta: no demo folder with a Scene.txt (looked in share/rovanta/demo beside "
                             "the program and in %s)\n", ROVANTA_BUILT_DEMO_DIR);
        return false;
    }
    if (chdir(folder.c_str()) != 0) {
        std::perror(("rovanta: " + folder).c_str());
        return false;
    }
    theGame.demoFolder = folder;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Before GLUT sees the arguments, so that --help, --version and --list-cameras need no display.
    if (const std::optional<int> status = readGameOptions(argc, argv, theGame.options)) return *status;
    if (theGame.options.camera.listCameras) {
        std::fputs(cameraListing().c_str(), stdout);
        return 0;
    }
    videoSetCameraRequest(theGame.options.camera.request);
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);
    const CommandLine options = parseCommandLine(argc, argv);
    if (!options.error.empty()) {
        std::fprintf(stderr, "rovanta: %s\n", options.error.c_str());
        return 1;
    }
    // Named from where the game was started, also when --demo moves it into the demo folder.
    if (!theGame.options.cameraFile.empty())
        theGame.options.cameraFile = std::filesystem::absolute(theGame.options.cameraFile).string();
    if (theGame.options.demo && !enterDemoFolder()) return 1;
    theGame.debugMode = options.debugMode;
    theGame.automaticThreshold = !theGame.options.fixedThreshold;
    setCandidateLimit(theGame.options.exact ? kMaxCandidates : kCandidateRoom);
    if (options.showAbout) std::fputs(aboutText(), stdout);
    initialiseGame(options.scenePath);
    if (theGame.debugMode) showEditingKeysOnce();
    // The keyboard's auto-repeat stays on, so that + and - act on every press
    // and repeat while held; held arrow keys are kept held by the input layer.
    glutSpecialFunc(onSpecialKeyDown);
    glutKeyboardUpFunc(onKeyUp);
    glutSpecialUpFunc(onSpecialKeyUp);
    glutVisibilityFunc(onVisibility);
    startMainLoop(onMouse, onKeyDown, runFrame, runIdle);
}
