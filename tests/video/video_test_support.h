#pragma once
// Shared set-up of the layer tests: a clip in a temporary folder, opened and
// closed around each test, with pacing restored afterwards.

#include "app/video/video.h"
#include "clip_maker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class VideoClipTest : public ::testing::Test {
protected:
    void TearDown() override {
        videoClose();
        videoSetPacing(true);
        videoSetCameraRequest(CameraRequest{});
    }

    // Writes a clip and opens it; fails the test when either step fails.
    void openClip(const ClipShape& shape, const std::string& name = "clip.avi") {
        shape_ = shape;
        std::string path = dir_.file(name);
        ASSERT_EQ(writeClip(path, shape), "");
        ASSERT_EQ(videoOpen(fileConfig(path).c_str()), 0);
    }

    // Reads `count` frames with pacing off and returns their frame numbers.
    std::vector<int> readIndices(int count) {
        std::vector<int> indices;
        for (int i = 0; i < count; ++i) {
            unsigned char* frame = videoGetImage();
            if (frame == nullptr) break;
            indices.push_back(readFrameIndex(frame, shape_.width));
            videoCapNext();
        }
        return indices;
    }

    TempDir dir_;
    ClipShape shape_;
};
