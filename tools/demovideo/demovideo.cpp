// Renders the demo video: the demo table (printed track mat, the markers on
// it, the real objects that hide the cars) seen by the demo camera (with its
// lens distortion) moving smoothly around and above it, as a looping
// Motion-JPEG AVI, with the true pose of every frame.
#include <cstdio>
#include <string>
#include <thread>

#include "command_line_glue.h"
#include "tools/demovideo/camera_path.h"
#include "tools/demovideo/demo_table.h"
#include "tools/demovideo/marker_pictures.h"
#include "tools/demovideo/table_film.h"
#include "tools/synthcam/synthcam.h"
#include "tools/videoenc/videoenc.h"
#include "tracking/camera.h"

namespace {

struct Options {
    std::string camera, markers, out, poses;
    int width = 640, height = 480, fps = 30, quality = 85, supersample = 1, threads = 0;
    double seconds = 0;  // 0: one whole orbit of the demo table
};

// "--size 320x240": the picture size, each side 16 to 4096 pixels.
void addFrameSize(CLI::App& app, Options& o) {
    app.add_option_function<std::string>(
           "--size",
           [&o](const std::string& text) {
               const size_t x = text.find('x');
               if (x == std::string::npos)
                   throw CLI::ValidationError("--size", "WIDTHxHEIGHT, e.g. 320x240, not " + text);
               o.width = static_cast<int>(readWholeNumber(text.substr(0, x), 16, 4096, "--size width"));
               o.height = static_cast<int>(readWholeNumber(text.substr(x + 1), 16, 4096, "--size height"));
           },
           "picture size (default 640x480)")
        ->type_name("WxH");
}

std::optional<int> readOptions(int argc, char** argv, Options& o) {
    CLI::App app{"Renders the demo video: the demo table seen by the demo camera moving around and above it,\n"
                 "as a looping Motion-JPEG AVI, with the true pose of every frame.",
                 "rovanta-demovideo"};
    setUpCommandLine(app);
    app.add_option("--camera", o.camera, "camera parameter file")->type_name("FILE")->required();
    app.add_option("--markers", o.markers, "folder holding the pictures of the mat's markers (PPM or BMP)")
        ->type_name("DIR")
        ->required();
    app.add_option("--out", o.out, "video to write")->type_name("VIDEO.avi")->required();
    app.add_option("--poses", o.poses, "true poses to write, one frame a line")->type_name("FILE")->required();
    addNumber(app, "--seconds", o.seconds, {0.0, 3600.0}, "length of the video (default 0: one whole orbit)");
    addWholeNumber(app, "--fps", o.fps, 1, 240, "frames per second (default 30)");
    addWholeNumber(app, "--quality", o.quality, 1, 100, "JPEG quality (default 85)");
    addWholeNumber(app, "--supersample", o.supersample, 1, 16, "samples per pixel along each axis (default 1)");
    addWholeNumber(app, "--threads", o.threads, 0, 256, "rendering threads (default 0: one per core)");
    addFrameSize(app, o);
    return parseCommandLine(app, argc, argv);
}

bool loadCamera(const Options& o, CameraIntrinsics& camera) {
    CameraIntrinsics fileParam;
    if (loadCameraParams(o.camera.c_str(), 1, &fileParam) < 0) {
        std::fprintf(stderr, "rovanta-demovideo: cannot read camera parameters %s\n", o.camera.c_str());
        return false;
    }
    return resizeCameraParams(&fileParam, o.width, o.height, &camera) == 0;
}

void writePose(std::FILE* file, int frame, const double pose[3][4]) {
    std::fprintf(file, "%d", frame);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) std::fprintf(file, " %.17g", pose[r][c]);
    std::fprintf(file, "\n");
}

FilmSettings filmSettings(const Options& o) {
    FilmSettings film;
    film.supersample = o.supersample;
    const unsigned cores = std::thread::hardware_concurrency();
    film.threads = o.threads > 0 ? o.threads : static_cast<int>(cores > 0 ? cores : 1);
    return film;
}

// The frames and poses are written beside their final names and renamed into
// place only once both are complete, so an interrupted render (which the build
// would otherwise take as up to date) leaves no truncated video behind.
std::string partialName(const std::string& path) { return path + ".part"; }

bool writeAll(const Options& o, VideoEncoder* encoder, std::FILE* poses, const TableFilm& film, std::string* error) {
    std::fprintf(poses, "# frame, then the marker-to-camera transform: 3 rows of 4\n");
    OrbitSettings orbit = demoTable().orbit;
    if (o.seconds > 0) orbit.seconds = o.seconds;
    const int frames = static_cast<int>(orbit.seconds * o.fps + 0.5);
    std::vector<uint8_t> frame;
    for (int i = 0; i < frames; ++i) {
        double pose[3][4];
        orbitPose(orbit, static_cast<double>(i) / o.fps, pose);
        film.render(pose, static_cast<unsigned>(i + 1), &frame);
        if (videoEncoderAddFrame(encoder, frame.data(), error) != 0) {
            *error = "frame " + std::to_string(i) + ": " + *error;
            return false;
        }
        writePose(poses, i, pose);
    }
    return true;
}

int render(const Options& o, const CameraIntrinsics& camera, const std::vector<SynthPicture>& pictures) {
    const std::string videoPart = partialName(o.out), posesPart = partialName(o.poses);
    std::string error;
    VideoEncoderSettings settings;
    settings.width = o.width;
    settings.height = o.height;
    settings.framesPerSecond = o.fps;
    settings.quality = o.quality;
    VideoEncoder* encoder = videoEncoderCreate(videoPart, settings, &error);
    std::FILE* poses = encoder ? std::fopen(posesPart.c_str(), "w") : nullptr;
    if (encoder && !poses) error = o.poses + ": cannot write";
    const TableFilm film(demoTable(), camera, pictures, filmSettings(o));
    bool ok = poses && writeAll(o, encoder, poses, film, &error);
    if (poses && std::fclose(poses) != 0 && ok) {
        error = o.poses + ": write failed";
        ok = false;
    }
    if (encoder) {
        if (ok && videoEncoderFinish(encoder, &error) != 0) ok = false;
        else if (!ok) videoEncoderDestroy(encoder);
    }
    ok = ok && std::rename(videoPart.c_str(), o.out.c_str()) == 0 && std::rename(posesPart.c_str(), o.poses.c_str()) == 0;
    if (!ok) {
        std::fprintf(stderr, "rovanta-demovideo: %s\n", error.empty() ? "cannot move the finished files into place" : error.c_str());
        std::remove(videoPart.c_str());
        std::remove(posesPart.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (std::optional<int> status = readOptions(argc, argv, options)) return *status;
    CameraIntrinsics camera;
    if (!loadCamera(options, camera)) return 1;
    std::vector<SynthPicture> pictures;
    std::string error;
    if (!loadMarkerPictures(demoTable(), options.markers, &pictures, &error)) {
        std::fprintf(stderr, "rovanta-demovideo: %s\n", error.c_str());
        return 1;
    }
    return render(options, camera, pictures);
}
