#pragma once
// The game window: the camera frame as background (drawn on the
// distortion-compensated grid), the debug marker outline and the buffer swap.
#include "tracking/camera.h"

void initVideoDisplay(const CameraIntrinsics& cameraParam, double zoom);
void createDisplayWindow();
void drawCameraImage(const unsigned char* frame);
void drawIdealLine(double x1, double y1, double x2, double y2);
void drawMarkerOutline(const double corners[4][2]);
void swapDisplayBuffers();
void closeVideoDisplay();

// Read by the projection modes.
struct DisplayState {
    CameraIntrinsics cameraParam;  // matrix flipped vertically
    double zoom;
    int windowWidth;
    int windowHeight;
    double glProjection[16];
};
const DisplayState& displayState();
