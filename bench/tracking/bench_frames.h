// 640 x 480 frames from the synthetic camera for the tracker benchmarks, rendered once.
#pragma once

#include <cstdint>
#include <vector>

#include "synthcam.h"

enum class BenchScene { Empty, OneMarker, FiveMarkers, SaltAndPepper };

struct BenchFrames {
    CameraIntrinsics camera;
    SynthPicture picture;
    std::vector<uint8_t> frames[4];
};

// Renders the frames on first use, installs the camera and loads the marker's pattern.
const BenchFrames& benchFrames();
const std::vector<uint8_t>& benchFrame(BenchScene scene);
