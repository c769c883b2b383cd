#pragma once
// Films the demo table: every pixel of a frame looks along its ray (through
// the camera's lens distortion) at the objects, the marker and the table top.
#include <cstdint>
#include <vector>

#include "tools/demovideo/demo_table.h"
#include "tools/demovideo/table_raster.h"
#include "tools/synthcam/synthcam.h"
#include "tracking/camera.h"

struct FilmSettings {
    int supersample = 1;      // rays per pixel along each axis
    double noiseSigma = 1.5;  // sensor noise, intensity steps
    int blurPasses = 1;       // a webcam's slight softness
    int threads = 2;
};

class TableFilm {
public:
    // `markers` holds the picture of each of the table's mat markers, in its order.
    TableFilm(const DemoTable& table, const CameraIntrinsics& camera, const std::vector<SynthPicture>& markers,
              const FilmSettings& settings);
    // One frame as 32-bit B, G, R, X, row 0 at the top, for a marker-to-camera pose.
    void render(const double pose[3][4], unsigned seed, std::vector<uint8_t>* bgrx) const;

private:
    void renderRows(const double pose[3][4], int firstRow, int endRow, std::vector<double>* rgb) const;
    void colourAlong(const double origin[3], const double dir[3], double rgb[3]) const;

    const DemoTable& table_;
    CameraIntrinsics camera_;
    const std::vector<SynthPicture>& markers_;
    FilmSettings settings_;
    TableRaster raster_;
    double centre_[3] = {0, 0, 0};  // the camera's centre in its own frame
    std::vector<double> rays_;      // per sample, its direction in the camera frame
};
