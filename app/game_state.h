#pragma once
// The application's own state, alive for the whole run.
#include "app/game_options.h"
#include "app/hud_text.h"
#include "app/step_pacer.h"

#include <string>

#include "tracking/camera.h"
#include "tracking/mat.h"

struct FrameTimings {
    double uploadSeconds = 0;
    double detectionSeconds = 0;
    double poseSeconds = 0;
    double drawSeconds = 0;  // HUD and world
    double hudSeconds = 0;
    double swapSeconds = 0;
    int framesWithWorld = 0;
};

struct GameState {
    bool showTitle = true;
    bool debugMode = false;
    int detectionThreshold = 100;
    // The tracker picks its binarisation and detectionThreshold - 100 shifts it; off, the
    // threshold itself binarises every frame.
    bool automaticThreshold = true;
    int patternId = -1;
    // A scene whose PATTERN names a mat of markers: the world is drawn with the mat's pose.
    bool useMat = false;
    Mat mat;
    int frameCounter = 0;
    FpsMeter fps;
    StepPacer pacer;
    const unsigned char* lastFrame = nullptr;
    bool worldShown = false;  // the last picture drew the world in the marker's pose
    double markerWidth = 80.0;
    double markerCentre[2] = {0.0, 0.0};
    double markerTransform[3][4] = {};
    unsigned char* titleImage = nullptr;
    unsigned char* winImage = nullptr;
    unsigned char* loseImage = nullptr;
    CameraIntrinsics camera{};
    bool sceneCameraFileFits = true;  // false when --live replaced the scene's video by the camera
    FrameTimings* timings = nullptr;  // set by the frame benchmark
    GameOptions options;              // the options beyond the classic three
    std::string demoFolder;           // where --demo runs the game; empty without --demo
};

extern GameState theGame;
