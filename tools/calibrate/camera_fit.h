#pragma once
// Fitting the tracker's camera model to chessboard views: the projection
// matrix (focal lengths and principal point) and the radial distortion about
// its own centre, by least squares over the corners of all views together.

#include <string>
#include <vector>

#include "tracking/camera.h"

struct ImagePoint {
    double x = 0.0, y = 0.0;
};

struct BoardShape {
    int cols = 0;  // inner corners along a row
    int rows = 0;  // inner corners along a column
    double square = 1.0;
};

// Board to camera: rotation as an axis times its angle (radians), then translation.
struct ViewPose {
    double rotation[3] = {0, 0, 0};
    double translation[3] = {0, 0, 0};
};

struct CameraFit {
    CameraIntrinsics camera{};
    std::vector<ViewPose> poses;
    std::vector<double> viewRms;  // pixels, per view
    double rms = 0.0;             // pixels, over every corner of every view
    int iterations = 0;
};

// Corner k of a view lies at ((k % cols) * square, (k / cols) * square, 0) on
// the board, the order in which the corner finder reports them. Each view holds
// cols * rows observed corners; at least 3 views. False with a one-line reason.
bool fitCamera(const std::vector<std::vector<ImagePoint>>& views, const BoardShape& board, int width, int height,
               CameraFit* fit, std::string* error);

// Where `camera` sees the point p of its own frame (x right, y down, z ahead): observed pixels.
ImagePoint projectCameraPoint(const CameraIntrinsics& camera, const double p[3]);
