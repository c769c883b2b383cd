#include "app/video/camera_modes.h"

#include <gtest/gtest.h>

namespace {

// A webcam as they come: raw frames are slow at the larger sizes, JPEG ones are not.
CameraInfo webcam() {
    return CameraInfo{"/dev/video2",
                      "USB Camera",
                      {{"MJPG", 640, 480, {30}},
                       {"YUYV", 640, 480, {30, 15}},
                       {"YUYV", 1280, 720, {10}},
                       {"MJPG", 1280, 720, {30}},
                       {"MJPG", 1920, 1080, {30}},
                       {"YUYV", 320, 240, {30}}}};
}

struct ModeCase {
    const char* what;
    CameraRequest request;
    int width, height;
    double fps;
    const char* format;
    std::vector<const char*> noteParts;  // empty: no note
};

TEST(CameraModes, ExactOrNearestOfferedSizeAndRate) {
    const ModeCase cases[] = {
        {"nothing asked: 640x480 at its fastest", {}, 640, 480, 30, "YUYV", {}},
        {"a size: the fastest format there", {"", 1280, 720, 0}, 1280, 720, 30, "MJPG", {}},
        {"size and rate: the format that has the rate", {"", 1280, 720, 10}, 1280, 720, 10, "YUYV", {}},
        {"same rate in two formats: the raw one", {"", 640, 480, 30}, 640, 480, 30, "YUYV", {}},
        {"as near to two sizes: the larger", {"", 480, 360, 0}, 640, 480, 30, "YUYV", {"using 640x480"}},
        {"unoffered size: the nearest",
         {"", 1280, 700, 0}, 1280, 720, 30, "MJPG",
         {"/dev/video2 offers no 1280x700", "320x240 (YUYV 30 fps)", "1920x1080 (MJPG 30 fps)", "using 1280x720"}},
        {"far too large: the largest", {"", 4000, 3000, 0}, 1920, 1080, 30, "MJPG", {"using 1920x1080"}},
        {"unoffered rate: the nearest",
         {"", 1280, 720, 25}, 1280, 720, 30, "MJPG",
         {"offers no 25 fps at 1280x720", "(it offers 30, 10 fps)", "using 30 fps"}},
        {"a slower rate of the same format", {"", 640, 480, 14}, 640, 480, 15, "YUYV", {"using 15 fps"}},
    };
    for (const ModeCase& c : cases) {
        CameraChoice choice = chooseCameraMode(webcam(), c.request);
        EXPECT_EQ(choice.width, c.width) << c.what;
        EXPECT_EQ(choice.height, c.height) << c.what;
        EXPECT_DOUBLE_EQ(choice.fps, c.fps) << c.what;
        EXPECT_EQ(choice.format, c.format) << c.what;
        std::string notes;
        for (const std::string& n : choice.notes) notes += n + "\n";
        EXPECT_EQ(choice.notes.empty(), c.noteParts.empty()) << c.what << ": " << notes;
        for (const char* part : c.noteParts) EXPECT_NE(notes.find(part), std::string::npos) << c.what << ": " << notes;
    }
}

TEST(CameraModes, CamerasThatNameLittleLeaveTheChoiceToTheCamera) {
    CameraInfo silent{"/dev/video0", "Silent", {}};
    CameraChoice passed = chooseCameraMode(silent, CameraRequest{"", 800, 600, 20});
    EXPECT_EQ(passed.width, 800);
    EXPECT_EQ(passed.height, 600);
    EXPECT_DOUBLE_EQ(passed.fps, 20);
    EXPECT_TRUE(passed.notes.empty());

    CameraInfo wide{"/dev/video0", "Wide", {{"YUYV", 1280, 720, {}}, {"MJPG", 1920, 1080, {30, 15}}}};
    CameraChoice none = chooseCameraMode(wide, CameraRequest{});
    EXPECT_EQ(none.width, 0) << "no 640x480 and nothing asked: the camera's own default";
    CameraChoice rateOnly = chooseCameraMode(wide, CameraRequest{"", 0, 0, 15});
    EXPECT_EQ(rateOnly.width, 1280) << "a rate asked for: at the size nearest to 640x480";
    EXPECT_DOUBLE_EQ(rateOnly.fps, 15);
    ASSERT_EQ(rateOnly.notes.size(), 1u);
    EXPECT_NE(rateOnly.notes[0].find("offers no 640x480"), std::string::npos) << rateOnly.notes[0];
    CameraChoice rateless = chooseCameraMode(wide, CameraRequest{"", 1280, 720, 24});
    EXPECT_DOUBLE_EQ(rateless.fps, 24) << "a camera that names no rates gets the one asked for";
    EXPECT_TRUE(rateless.notes.empty());
}

TEST(CameraModes, SizeTextsAndListing) {
    struct SizeCase {
        const char* text;
        bool ok;
        int width, height;
    };
    const SizeCase sizes[] = {{"1280x720", true, 1280, 720}, {"1x1", true, 1, 1},     {"16384x2", true, 16384, 2},
                              {"1280X720", false, 0, 0},     {"x720", false, 0, 0},   {"1280x", false, 0, 0},
                              {"0x480", false, 0, 0},        {"16385x2", false, 0, 0}, {"-640x480", false, 0, 0},
                              {"640x480x3", false, 0, 0},    {"", false, 0, 0},       {"640 x480", false, 0, 0}};
    for (const SizeCase& c : sizes) {
        int w = 0, h = 0;
        EXPECT_EQ(parseFrameSize(c.text, &w, &h), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(w * 100000 + h, c.width * 100000 + c.height) << c.text;
        }
    }
    EXPECT_EQ(describeCamera(webcam()),
              "/dev/video2: USB Camera\n"
              "  320x240: YUYV 30 fps\n"
              "  640x480: MJPG 30 fps, YUYV 30/15 fps\n"
              "  1280x720: YUYV 10 fps, MJPG 30 fps\n"
              "  1920x1080: MJPG 30 fps\n");
    EXPECT_EQ(ffmpegInputFormat("MJPG"), "mjpeg");
    EXPECT_EQ(ffmpegInputFormat("Y10 "), "");
}

}  // namespace
