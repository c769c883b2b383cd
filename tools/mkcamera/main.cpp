// rovanta-mkcamera: writes a camera parameter file for a plausible webcam (the demo camera).
#include <cstdio>
#include <string>
#include <vector>

#include "command_line_glue.h"
#include "synthcam.h"
#include "tool_output.h"
#include "tracking/camera.h"

namespace {

struct Options {
    std::string out;
    std::vector<std::string> size;  // WIDTH HEIGHT
    int width = 640, height = 480;
};

std::optional<int> readOptions(int argc, char** argv, Options& o) {
    CLI::App app{"Writes one camera record: focal length 660 px at 640 wide, principal point near\n"
                 "the centre, mild barrel distortion; scaled to WIDTH x HEIGHT (default 640 x 480).",
                 "rovanta-mkcamera"};
    setUpCommandLine(app, "rovanta-mkcamera OUT.dat [WIDTH HEIGHT]");
    app.add_option("OUT.dat", o.out, "camera parameter file to write")->required();
    app.add_option("WIDTH HEIGHT", o.size, "frame size, each 1..8192")
        ->expected(2)
        ->multi_option_policy(CLI::MultiOptionPolicy::Throw);
    app.callback([&o] {
        if (const std::string problem = outputProblem(o.out, {}, "the camera file"); !problem.empty())
            throw CLI::ValidationError(problem);
        if (o.size.empty()) return;
        o.width = static_cast<int>(readWholeNumber(o.size[0], 1, 8192, "WIDTH"));
        o.height = static_cast<int>(readWholeNumber(o.size[1], 1, 8192, "HEIGHT"));
    });
    return parseCommandLine(app, argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (std::optional<int> status = readOptions(argc, argv, options)) return *status;
    CameraIntrinsics camera = makeWebcamIntrinsics(options.width, options.height);
    std::string why;
    if (saveCameraParams(options.out.c_str(), &camera, 1, &why) < 0) {
        std::fprintf(stderr, "rovanta-mkcamera: %s: cannot write: %s\n", options.out.c_str(), why.c_str());
        return 1;
    }
    return 0;
}
