// Frames from the synthetic camera for the tracker benchmarks, rendered once: 640 x 480 scenes,
// the one-marker scene at 1280 x 720 and 1920 x 1080, and hard-light frames with and without
// the marker at 640 x 480, 1280 x 720 and 1920 x 1080.
#pragma once

#include <cstdint>
#include <vector>

#include "synthcam.h"

enum class BenchScene {
    Empty,
    OneMarker,
    FiveMarkers,
    SaltAndPepper,
    OneMarker720,
    OneMarker1080,
    // The marker under hard light, then the same scene and light without it (marker lost), at
    // 640 x 480; then the same eight at 1280 x 720 (lightScene) and at 1920 x 1080.
    DimMarker,
    OverExposedMarker,
    GradientMarker,
    ShadowMarker,
    DimLost,
    OverExposedLost,
    GradientLost,
    ShadowLost,
};
constexpr int kLightScenesPerSize = 8;
constexpr int kBenchSceneCount = 14 + 2 * kLightScenesPerSize;
// The hard-light scene of `first` (DimMarker .. ShadowLost) at size 0 (640 x 480), 1 (1280 x 720)
// or 2 (1920 x 1080).
inline int lightScene(BenchScene first, int size) { return static_cast<int>(first) + kLightScenesPerSize * size; }

struct BenchFrame {
    const char* name;
    CameraIntrinsics camera;
    std::vector<uint8_t> pixels;
};

// Renders the frames on first use and loads the marker's pattern.
const std::vector<BenchFrame>& benchFrames();
// The scene's frame, with its camera installed in the tracker.
const BenchFrame& useBenchFrame(BenchScene scene);
