// A synthetic camera: renders square markers lying in planes at known poses, over a textured
// table, through a camera with radial lens distortion, as 32-bit B,G,R,X top-down frames.
#pragma once

#include <cstdint>
#include <vector>

#include "tracking/camera.h"
#include "tracking/pattern.h"

// A square RGB picture, row 0 at the top, including the marker's black border.
struct SynthPicture {
    int size = 0;
    std::vector<uint8_t> rgb;  // size * size * 3
};

struct SynthMarker {
    const SynthPicture* picture = nullptr;
    double width = 80.0;  // full width including the border, in world units
    double pose[3][4] = {};  // marker plane (z = 0) to camera coordinates
};

struct SynthOptions {
    int supersample = 4;         // samples per pixel along each axis
    double noiseSigma = 0.0;     // gaussian noise per channel, in intensity steps
    double saltPepper = 0.0;     // fraction of pixels set to near black
    int blurPasses = 0;          // 3x3 box blurs applied after sampling
    unsigned seed = 1;
    bool useTable = true;        // textured table in the plane of `tablePose`
    double tablePose[3][4] = {};  // defaults to the first marker's pose when all zero
};

struct SynthFrame {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgrx;  // width * height * 4, row 0 at the top
    // Per marker, corners in the picture's order: top-left, top-right, bottom-right, bottom-left.
    std::vector<std::vector<double>> observedCorners;  // 8 values each (x, y) x 4
    std::vector<std::vector<double>> idealCorners;
};

// Black border of a quarter of the side on each side around an inner picture that no quarter
// turn maps onto itself.
SynthPicture defaultMarkerPicture(int size = 64);
// Another distinct picture, for tests with several patterns.
SynthPicture secondMarkerPicture(int size = 64);

// A chessboard of cols x rows inner corners, one picture pixel per square,
// centred on white with at least one square of margin; its square side is the
// picture's width / `size`, where `size` is max(cols, rows) + 3.
SynthPicture chessboardPicture(int cols, int rows);

// Pose of a marker seen from `distance` along the camera axis, tilted about its x axis by
// `tiltDeg`, turned about its y axis by `yawDeg` and in its own plane by `spinDeg`; its centre
// sits at camera (offsetX, offsetY, distance).
void makeMarkerPose(double distance, double tiltDeg, double yawDeg, double spinDeg, double offsetX, double offsetY,
                    double pose[3][4]);

// A plausible webcam: focal length about 660 px, principal point near the centre, mild barrel distortion.
CameraIntrinsics makeWebcamIntrinsics(int width, int height);

int renderSynthFrame(const CameraIntrinsics& camera, const SynthMarker* markers, int count,
                     const SynthOptions& options, SynthFrame* frame);

// The lens model inverted to full precision: the ideal point seen at an observed one.
void observedToIdealExact(const double dist[4], double ox, double oy, double* ix, double* iy);
// A webcam's slight softness: one 3x3 box blur of an RGB image (the border stays).
void boxBlur(std::vector<double>& rgb, int w, int h);
// Gaussian sensor noise and dark specks as the options ask, seeded by options.seed.
void addSensorNoise(std::vector<double>& rgb, const SynthOptions& o, int pixels);

// Pattern-file values (orientation, channel B/G/R, row, column) from the inner half of a picture.
void makePatternValues(const SynthPicture& picture, uint8_t values[kPatternFileValues]);
