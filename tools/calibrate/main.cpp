// rovanta-calibrate: measures a webcam from views of a printed chessboard and
// writes the camera file the game and the tools read.
#include <opencv2/imgcodecs.hpp>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "board_corners.h"
#include "board_print.h"
#include "calibrate_options.h"
#include "camera_fit.h"
#include "image_file.h"
#include "picture_header.h"
#include "tracking/camera.h"
#ifdef ROVANTA_CALIBRATE_VIDEO
#include "app/video/video_decoder.h"
#endif

namespace {

constexpr double kWarnRms = 0.5;
// Views that disagree this much describe no one camera; its file would mislead the tracker.
constexpr double kMaxRms = 3.0;
constexpr int kWarnViews = 6;
constexpr int kMinViews = 3;
constexpr size_t kMaxViews = 60;  // more add time, hardly accuracy

struct View {
    std::string name;
    std::vector<ImagePoint> corners;
};

struct Views {
    std::vector<View> list;
    int width = 0, height = 0;
};

int fail(const std::string& message) {
    std::fprintf(stderr, "rovanta-calibrate: %s\n", message.c_str());
    return 1;
}

void skip(const std::string& name, const std::string& why) {
    std::fprintf(stderr, "%s: %s; skipped\n", name.c_str(), why.c_str());
}

// libpng, libjpeg and OpenCV print their own complaints on standard error;
// the tool says once, in its own words, what was wrong with the file.
cv::Mat decodeQuietly(const std::string& path) {
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO), quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && quiet >= 0) ::dup2(quiet, STDERR_FILENO);
    if (quiet >= 0) ::close(quiet);
    cv::Mat bgr;
    try {
        bgr = cv::imread(path, cv::IMREAD_COLOR);
    } catch (const cv::Exception&) {
        bgr.release();
    }
    if (saved >= 0) ::dup2(saved, STDERR_FILENO), ::close(saved);
    return bgr;
}

// PNG and JPEG through OpenCV, once their header shows a picture within the
// bound PPM and BMP are held to: a small file can announce a huge picture.
bool loadCompressedPicture(const std::string& path, const std::string& format, RgbPicture* picture,
                           std::string* error) {
    long long width = 0, height = 0;
    if (!compressedPictureSize(path, &width, &height, error)) return false;
    if (*error = pictureSizeProblem(width, height); !error->empty()) return false;
    cv::Mat bgr = decodeQuietly(path);
    if (bgr.empty() || bgr.type() != CV_8UC3) {
        *error = "damaged " + format + " file: it cannot be decoded";
        return false;
    }
    picture->width = bgr.cols;
    picture->height = bgr.rows;
    picture->rgb.resize(static_cast<size_t>(bgr.cols) * bgr.rows * 3);
    for (int y = 0; y < bgr.rows; ++y)
        for (int x = 0; x < bgr.cols; ++x)
            for (int c = 0; c < 3; ++c)
                picture->rgb[(static_cast<size_t>(y) * bgr.cols + x) * 3 + c] = bgr.at<cv::Vec3b>(y, x)[2 - c];
    return true;
}

// PPM and BMP through the project's reader, PNG and JPEG through OpenCV; other
// files are refused unread (OpenCV would take many more formats, and files
// that only pose as pictures).
bool loadPicture(const std::string& path, RgbPicture* picture, std::string* error) {
    const std::string format = pictureFormatOf(path);
    if (format == "PNG" || format == "JPEG") return loadCompressedPicture(path, format, picture, error);
    if (format == "PPM" || format == "BMP" || format.empty()) {
        if (readImageFile(path, picture, error)) return true;
        if (error->rfind("unsupported image format", 0) != 0) return false;
    }
    *error = "unsupported image format (" + (format.empty() ? std::string("not a picture") : format) +
             "; binary PPM, BMP, JPEG or PNG expected)";
    return false;
}

// The picture size is the first usable view's: a picture without the board says nothing about it.
void addView(const std::string& name, const RgbPicture& picture, const CalibrateOptions& o, Views* views) {
    if (!views->list.empty() && (picture.width != views->width || picture.height != views->height)) {
        skip(name, std::to_string(picture.width) + "x" + std::to_string(picture.height) + ", not " +
                       std::to_string(views->width) + "x" + std::to_string(views->height) +
                       " as the first usable view");
        return;
    }
    View view{name, {}};
    if (!findBoardCorners(picture, o.cols, o.rows, &view.corners)) {
        skip(name, "no " + std::to_string(o.cols) + "x" + std::to_string(o.rows) + " chessboard found");
        return;
    }
    views->width = picture.width, views->height = picture.height;
    views->list.push_back(view);
}

void addImages(const CalibrateOptions& o, Views* views) {
    for (const std::string& path : o.images) {
        RgbPicture picture;
        std::string error;
        if (!loadPicture(path, &picture, &error)) skip(path, error.empty() ? "cannot read" : error);
        else addView(path, picture, o, views);
    }
}

#ifdef ROVANTA_CALIBRATE_VIDEO
RgbPicture pictureFromFrame(const std::vector<unsigned char>& bgrx, int width, int height) {
    RgbPicture p{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
    for (size_t i = 0; i < p.rgb.size() / 3; ++i)
        for (int c = 0; c < 3; ++c) p.rgb[3 * i + c] = bgrx[4 * i + 2 - c];
    return p;
}

bool addVideo(const CalibrateOptions& o, Views* views, std::string* error) {
    VideoDecoder* d = decoderOpenFile(o.video, error);
    if (d == nullptr) return false;
    int width = decoderWidth(d), height = decoderHeight(d);
    std::vector<unsigned char> frame(static_cast<size_t>(width) * height * 4);
    DecodeStatus s;
    for (int index = 0; (s = decoderNextFrame(d, frame.data(), error)) == DecodeStatus::Frame; ++index)
        if (index % o.every == 0)
            addView(o.video + " frame " + std::to_string(index), pictureFromFrame(frame, width, height), o, views);
    decoderClose(d);
    return s != DecodeStatus::Error;
}
#else
bool addVideo(const CalibrateOptions&, Views*, std::string* error) {
    *error = "this build has no video layer";
    return false;
}
#endif

// Evenly spread views when a video gave more than the fit needs.
void thinOut(Views* views) {
    if (views->list.size() <= kMaxViews) return;
    std::vector<View> kept;
    for (size_t i = 0; i < kMaxViews; ++i) kept.push_back(views->list[i * views->list.size() / kMaxViews]);
    std::fprintf(stderr, "using %zu of %zu views, evenly spread\n", kMaxViews, views->list.size());
    views->list.swap(kept);
}

void report(const Views& views, const CameraFit& fit) {
    for (size_t v = 0; v < views.list.size(); ++v)
        std::printf("%s: %.3f px\n", views.list[v].name.c_str(), fit.viewRms[v]);
    std::printf("RMS reprojection error: %.3f px over %zu views\n", fit.rms, views.list.size());
    if (fit.rms > kWarnRms)
        std::fprintf(stderr, "warning: the RMS error is above %.1f px: drop the views with the largest errors, "
                             "keep the board flat and the pictures sharp\n", kWarnRms);
    if (static_cast<int>(views.list.size()) < kWarnViews)
        std::fprintf(stderr, "warning: only %zu usable views; %d or more, with the board tilted in different "
                             "directions and reaching the picture's corners, give a better camera file\n",
                     views.list.size(), kWarnViews);
    printCameraParams(&fit.camera);
}

// Why the fitted camera must not be written: the tracker would refuse it (a lens
// that bends the picture's corners back on themselves among other things), or
// the views do not support it.
std::string implausibleCamera(const CameraFit& fit) {
    if (const std::string problem = cameraParamsProblem(fit.camera); !problem.empty())
        return "the measured camera is unusable (" + problem + "); take the views again with the whole board sharp";
    if (fit.rms > kMaxRms) {
        char text[160];
        std::snprintf(text, sizeof text, "the views do not agree on one camera (RMS error %.3g px, more than %.1f px)",
                      fit.rms, kMaxRms);
        return text;
    }
    return "";
}

int calibrate(const CalibrateOptions& o) {
    Views views;
    addImages(o, &views);
    std::string error;
    if (!o.video.empty() && !addVideo(o, &views, &error)) return fail(o.video + ": " + error);
    thinOut(&views);
    if (views.list.size() < static_cast<size_t>(kMinViews))
        return fail("only " + std::to_string(views.list.size()) + " usable views of the board; at least " +
                    std::to_string(kMinViews) + " are needed");
    std::vector<std::vector<ImagePoint>> corners;
    for (const View& v : views.list) corners.push_back(v.corners);
    CameraFit fit;
    if (!fitCamera(corners, BoardShape{o.cols, o.rows, o.square}, views.width, views.height, &fit, &error))
        return fail(error);
    report(views, fit);
    if (const std::string problem = implausibleCamera(fit); !problem.empty())
        return fail("not writing " + o.out + ": " + problem);
    if (saveCameraParams(o.out.c_str(), &fit.camera, 1, &error) < 0) return fail(o.out + ": cannot write: " + error);
    std::printf("wrote %s\n", o.out.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CalibrateOptions options;
    if (std::optional<int> status = parseCalibrateOptions(argc, argv, &options)) return *status;
    if (!options.printBoard.empty()) {
        std::string error = writeBoardBitmap(options.printBoard, options.cols, options.rows, options.square);
        return error.empty() ? 0 : fail(error);
    }
    return calibrate(options);
}
