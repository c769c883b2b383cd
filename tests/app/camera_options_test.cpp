#include "app/game_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct OptionCase {
    std::vector<const char*> args;
    std::optional<int> status;
    CameraRequest request;
    bool list;
    const char* says;  // on standard error, for a refused line
};

TEST(CameraOptions, ReadBesideTheClassicOptions) {
    const OptionCase cases[] = {
        {{}, std::nullopt, {}, false, ""},
        {{"-debug", "-s", "x.txt", "-about"}, std::nullopt, {}, false, ""},
        {{"-debug", "--camera-device", "/dev/video2", "--camera-size", "1280x720", "--camera-fps", "30", "-s", "t.txt"},
         std::nullopt, {"/dev/video2", 1280, 720, 30}, false, ""},
        {{"--camera-fps", "29.97"}, std::nullopt, {"", 0, 0, 29.97}, false, ""},
        {{"--list-cameras"}, std::nullopt, {}, true, ""},
        {{"--camera-size", "1280X720"}, 2, {}, false, "WIDTHxHEIGHT"},
        {{"--camera-size", "0x720"}, 2, {}, false, "WIDTHxHEIGHT"},
        {{"--camera-fps", "0"}, 2, {}, false, "--camera-fps"},
        {{"--camera-fps", "fast"}, 2, {}, false, "--camera-fps"},
        {{"--camera-device"}, 2, {}, false, "--camera-device"},
        {{"--help"}, 0, {}, false, ""},
    };
    for (const OptionCase& c : cases) {
        std::vector<const char*> argv{"rovanta"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        GameOptions options;
        const CameraOptions& o = options.camera;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        std::optional<int> status = readGameOptions(static_cast<int>(argv.size()), argv.data(), options);
        std::string out = testing::internal::GetCapturedStdout(), err = testing::internal::GetCapturedStderr();
        std::string line = c.args.empty() ? "(none)" : c.args.front();
        EXPECT_EQ(status, c.status) << line << err;
        EXPECT_NE(err.find(c.says), std::string::npos) << line << ": " << err;
        if (status == 0) {
            EXPECT_NE(out.find("--camera-size"), std::string::npos) << "help names the options";
        }
        if (status) continue;
        EXPECT_EQ(o.request.device, c.request.device) << line;
        EXPECT_EQ(o.request.width * 100000 + o.request.height, c.request.width * 100000 + c.request.height) << line;
        EXPECT_DOUBLE_EQ(o.request.fps, c.request.fps) << line;
        EXPECT_EQ(o.listCameras, c.list) << line;
    }
}

}  // namespace
