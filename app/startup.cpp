#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "app/game.h"
#include "app/game_state.h"
#include "app/scene_editing.h"
#include "app/video/video.h"
#include "display/video_display.h"
#include "model3ds/mesh_draw_gl.h"
#include "render/bmp.h"
#include "render/car_texture.h"
#include "tracking/camera_setup.h"
#include "tracking/mat.h"
#include "tracking/pattern.h"
#include "tracking/typical_lens.h"
#include "world/race_setup.h"
#include "world/scene_check.h"
#include "world/world.h"

GameState theGame;

namespace {

[[noreturn]] void failStartup(const std::string& cause, int status = 1) {
    std::fflush(stdout);
    std::fprintf(stderr, "rovanta: %s\n", cause.c_str());
    std::exit(status);
}

void loadScreenImagesOrExit() {
    const char* const names[] = {"Data\\main.bmp", "Data\\main_win.bmp", "Data\\main_lose.bmp"};
    unsigned char* blocks[3] = {};
    std::string reason;
    // The historical status for a missing screen image is -1 (255 to the shell).
    if (!loadScreenImages(names, 3, blocks, reason)) {
        // A missing image most often means the game was started outside a scene folder.
        const std::string missing = "No such file or directory";
        const bool isMissing = reason.size() >= missing.size() &&
                               reason.compare(reason.size() - missing.size(), missing.size(), missing) == 0;
        if (!theGame.demoFolder.empty())
            reason += " (in the demo folder " + theGame.demoFolder + ", which is incomplete; install or build it again)";
        else if (isMissing)
            reason += " (start the game in a scene folder, or as rovanta --demo)";
        failStartup(reason, -1);
    }
    theGame.titleImage = blocks[0];
    theGame.winImage = blocks[1];
    theGame.loseImage = blocks[2];
}

// A car whose model cannot be read draws as nothing and the race still runs,
// as it always has; the player is told why.
void loadCarModel(Car& car, const char* path) {
    if (!car.model.loadModelFile(path))
        std::fprintf(stderr, "rovanta: warning: car model %s: %s; the car will not be drawn\n", path,
                     car.model.loadProblem().c_str());
}

void loadScene(const std::string& scenePath) {
    std::string reason;
    SceneLayout layout;
    if (!loadRaceScene(theWorld, scenePath, loadCarModel, reason, &layout)) {
        // --demo runs in the demo folder, so a scene named with -s is looked for there.
        if (!theGame.demoFolder.empty()) reason += " (looked in the demo folder " + theGame.demoFolder + ")";
        failStartup(reason);
    }
    startSceneEditing(scenePath, std::move(layout));
}

// --live: the camera instead of the scene's video. A camera file the scene
// names for its video was measured with another camera.
void useCameraForLive() {
    if (!theGame.options.live) return;
    const std::string camera = videoConfigFor("CAMERA");
    theGame.sceneCameraFileFits = theWorld.videoConfig == camera;
    theWorld.videoConfig = camera;
    theWorld.videoLine = "--live (the camera)";
}

void openVideo(int& width, int& height) {
    if (videoOpen(theWorld.videoConfig.c_str()) < 0)
        failStartup("cannot open the video source named at " + theWorld.videoLine);
    if (videoInqSize(&width, &height) < 0) failStartup("cannot read the video frame size");
    std::printf("Image size (x,y) = (%d,%d)\n", width, height);
}

// The message players know first, then the cause naming the file and the value.
[[noreturn]] void failCamera(const char* path, const std::string& cause) {
    std::printf("Camera parameter load error !!\n");
    failStartup(std::string(path) + ": " + cause);
}

// The file is scaled by the width ratio alone, which fits only frames of the
// shape it was measured at (a 16:9 mode is not a 4:3 picture made larger).
void warnOnOtherShape(const CameraIntrinsics& file, int width, int height) {
    if (static_cast<long long>(file.width) * height == static_cast<long long>(file.height) * width) return;
    std::fprintf(stderr,
                 "rovanta: the camera file was measured at %dx%d but the frames are %dx%d; poses will be off "
                 "until the camera is measured at this size (rovanta-calibrate)\n",
                 file.width, file.height, width, height);
}

void printInstalledCamera() {
    std::printf("*** Camera Parameter ***\n");
    printCameraParams(&theGame.camera);
}

void useTypicalLens(int width, int height) {
    std::printf("No camera file for this camera (--camera-file CAM gives one): a typical webcam lens, %g degrees "
                "across, for %dx%d frames\n",
                kTypicalWebcamFieldOfView, width, height);
    const std::string problem = installCameraForFrames(typicalWebcamCamera(width, height), width, height, &theGame.camera);
    if (!problem.empty()) failStartup("the video's " + problem);
    printInstalledCamera();
}

void loadCamera(int width, int height) {
    if (theGame.options.cameraFile.empty() && !theGame.sceneCameraFileFits) return useTypicalLens(width, height);
    const char* path =
        theGame.options.cameraFile.empty() ? theWorld.cameraParamPath.c_str() : theGame.options.cameraFile.c_str();
    const CameraSetup setup = setUpTrackerCamera(path, width, height);
    if (setup.fileUnusable) failCamera(path, setup.problem);
    if (!setup.problem.empty()) failStartup("the video's " + setup.problem);
    warnOnOtherShape(setup.file, width, height);
    theGame.camera = setup.installed;
    printInstalledCamera();
}

void loadSceneMat(const char* path) {
    std::string why;
    if (!loadMat(path, &theGame.mat, &why)) {
        std::printf("pattern load error !!\n");
        failStartup("cannot use the mat " + why);
    }
    theGame.useMat = true;
}

// PATTERN names a pattern file or a mat file, told apart by what the file holds.
void loadScenePattern() {
    if (isMatFile(theWorld.patternPath.c_str())) return loadSceneMat(theWorld.patternPath.c_str());
    std::string why;
    theGame.patternId = loadPatternChecked(theWorld.patternPath.c_str(), &why);
    if (theGame.patternId < 0) {
        std::printf("pattern load error !!\n");
        failStartup("cannot use the marker pattern " + why);
    }
}

void setGlobalGlState() {
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_POLYGON_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void placeWindow(int width, int height) {
    glutReshapeWindow(width, height);
    glutPositionWindow((glutGet(GLUT_SCREEN_WIDTH) - width) / 2,
                       (glutGet(GLUT_SCREEN_HEIGHT) - height) / 2);
    glutSetWindowTitle("Rovanta v0.0.0.1");
}

}  // namespace

void initialiseGame(const std::string& scenePath) {
    loadScreenImagesOrExit();
    loadScene(scenePath);
    useCameraForLive();
    int width = 0, height = 0;
    openVideo(width, height);
    loadCamera(width, height);
    loadScenePattern();
    initVideoDisplay(theGame.camera, 1.0);
    installGlModelDrawBackend();
    setGlobalGlState();
    placeWindow(width, height);
    prepareCars();
}

void prepareCars() {
    setupCarTexture(theWorld.player, theWorld.playerTexturePath.c_str());
    if (theWorld.opponentPresent)
        setupCarTexture(theWorld.opponent, theWorld.opponentTexturePath.c_str());
    placeCarsForRace(theWorld);
}
