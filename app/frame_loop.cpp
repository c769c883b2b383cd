#include <GL/glut.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "app/game.h"
#include "app/game_state.h"
#include "app/held_keys.h"
#include "app/screen_state.h"
#include "app/video/video.h"
#include "display/camera_projection.h"
#include "display/gl_modes.h"
#include "display/video_display.h"
#include "render/bmp.h"
#include "render/world_drawing.h"
#include "tracking/auto_threshold.h"
#include "tracking/marker.h"
#include "tracking/mat.h"
#include "tracking/pose.h"
#include "tracking/refine.h"
#include "world/world.h"

#ifndef GL_BGR_EXT
#define GL_BGR_EXT 0x80E0
#endif

namespace {

using Clock = std::chrono::steady_clock;

int64_t nowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void addTime(double FrameTimings::*slot, Clock::time_point start) {
    if (theGame.timings) theGame.timings->*slot += secondsSince(start);
}

unsigned char* screenImageFor(ScreenState state) {
    switch (state) {
        case ScreenState::Title: return theGame.titleImage;
        case ScreenState::Won: return theGame.winImage;
        case ScreenState::Lost: return theGame.loseImage;
        case ScreenState::Race: break;
    }
    return nullptr;
}

void showScreenImage(const unsigned char* image) {
    theGame.worldShown = false;
    set2DMode();
    glRasterPos2i(0, 0);
    glDrawPixels(screenImageWidth, screenImageHeight, GL_BGR_EXT, GL_UNSIGNED_BYTE, image);
    swapDisplayBuffers();
}

void showCameraImage(const unsigned char* frame) {
    const auto start = Clock::now();
    set2DMode();
    drawCameraImage(frame);
    addTime(&FrameTimings::uploadSeconds, start);
}

void drawWorldView() {
    const auto start = Clock::now();
    theGame.worldShown = true;
    drawRaceView();
    addTime(&FrameTimings::drawSeconds, start);
    const auto swapStart = Clock::now();
    swapDisplayBuffers();
    addTime(&FrameTimings::swapSeconds, swapStart);
    if (theGame.timings) ++theGame.timings->framesWithWorld;
}

// A frame the tracker cannot label (far too many dark specks) is shown as a
// frame without the marker rather than ending the race.
void detectInFrame(const unsigned char* frame, DetectedMarker** markers, int* count) {
    static bool warned = false;
    const auto start = Clock::now();
    const int status = theGame.automaticThreshold
                           ? detectMarkersAuto(frame, theGame.detectionThreshold, markers, count)
                           : detectMarkers(frame, theGame.detectionThreshold, markers, count);
    addTime(&FrameTimings::detectionSeconds, start);
    if (status >= 0) return;
    if (!warned) {
        std::fprintf(stderr, "rovanta: a video frame could not be analysed; skipping such frames\n");
        warned = true;
    }
    *count = 0;
}

// The marker's sides re-located on the frame and the pose polished, unless -exact asks for
// the pose straight from detection and the angle search.
void estimateChosenPose(const unsigned char* frame, DetectedMarker* marker) {
    const auto start = Clock::now();
    if (theGame.options.exact) {
        estimateMarkerPose(marker, theGame.markerCentre, theGame.markerWidth, theGame.markerTransform);
    } else {
        refineMarkerEdges(frame, marker);
        estimatePrecisePose(marker, theGame.markerCentre, theGame.markerWidth, theGame.markerTransform);
    }
    addTime(&FrameTimings::poseSeconds, start);
}

void drawDebugOutline(const DetectedMarker& marker) {
    set2DMode();
    glPushAttrib(GL_CURRENT_BIT | GL_LINE_BIT);
    glColor3f(1, 0, 0);
    glLineWidth(2.0f);
    drawMarkerOutline(marker.corners);
    glPopAttrib();
}

void drawWorldAxes() {
    glBegin(GL_LINES);
    glColor3f(1, 0, 0);
    glVertex3f(0, 0, 0);
    glVertex3f(100, 0, 0);
    glColor3f(0, 1, 0);
    glVertex3f(0, 0, 0);
    glVertex3f(0, 100, 0);
    glColor3f(0, 0, 1);
    glVertex3f(0, 0, 0);
    glVertex3f(0, 0, 100);
    glEnd();
}

// The scene's marker: the best match of its pattern; false when there is none.
bool poseFromMarker(const unsigned char* frame, DetectedMarker* markers, int count) {
    const int chosen = count > 0 ? chooseMarker(markers, count, theGame.patternId) : -1;
    if (chosen < 0) return false;
    estimateChosenPose(frame, &markers[chosen]);
    if (theGame.debugMode) drawDebugOutline(markers[chosen]);
    return true;
}

// The scene's mat: every mat marker that agrees with the others; false when none gives a pose.
bool poseFromMat(const unsigned char* frame, DetectedMarker* markers, int count) {
    const auto start = Clock::now();
    if (!theGame.options.exact) refineMatMarkers(frame, theGame.mat, markers, count);
    MatPose pose;
    const bool found = estimateMatPose(theGame.mat, markers, count, !theGame.options.exact, &pose) >= 0;
    if (found) std::copy(&pose.transform[0][0], &pose.transform[0][0] + 12, &theGame.markerTransform[0][0]);
    addTime(&FrameTimings::poseSeconds, start);
    for (int u = 0; found && theGame.debugMode && u < pose.usedCount; u++) drawDebugOutline(markers[pose.used[u]]);
    return found;
}

void handleNewFrame(unsigned char* frame) {
    ++theGame.frameCounter;
    theGame.lastFrame = frame;
    showCameraImage(frame);
    DetectedMarker* markers = nullptr;
    int count = 0;
    detectInFrame(frame, &markers, &count);
    videoCapNext();
    const bool posed = theGame.useMat ? poseFromMat(frame, markers, count) : poseFromMarker(frame, markers, count);
    if (!posed) {
        stepsForFrame(theGame.pacer, nowNanoseconds(), false);
        theGame.worldShown = false;
        swapDisplayBuffers();
        return;
    }
    drawWorldView();
}

}  // namespace

void runFrame() {
    settleReleases(theKeyFilter, theKeys);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const ScreenState state =
        screenStateOf(theGame.showTitle, theWorld.playerLap, theWorld.opponentLaps);
    if (state != ScreenState::Race) {
        showScreenImage(screenImageFor(state));
        return;
    }
    unsigned char* frame = videoGetImage();
    if (frame) {
        handleNewFrame(frame);
        return;
    }
    if (!theGame.lastFrame) return;
    showCameraImage(theGame.lastFrame);
    drawWorldView();
}

void drawRaceView() {
    const auto hudStart = Clock::now();
    drawHud();
    addTime(&FrameTimings::hudSeconds, hudStart);
    loadIdentityModelview();
    set3DMode();
    glClearDepth(1.0);
    glClear(GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    double m[16];
    transformToGlMatrix(theGame.markerTransform, m);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(m);
    if (theGame.debugMode) drawWorldAxes();
    updateAndDrawWorld(theGame.debugMode, stepsForFrame(theGame.pacer, nowNanoseconds(), true));
    glDisable(GL_DEPTH_TEST);
}

void shutdownAndRelease() {
    videoCapStop();
    videoClose();
    closeVideoDisplay();
    freeScreenImage(theGame.titleImage);
    freeScreenImage(theGame.winImage);
    freeScreenImage(theGame.loseImage);
    theGame.titleImage = theGame.winImage = theGame.loseImage = nullptr;
}
