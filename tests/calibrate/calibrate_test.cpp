// rovanta-calibrate on chessboard views rendered through a known lens: the
// camera file it writes must see the world as the true camera does.
#include <gtest/gtest.h>
#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "board_corners.h"
#include "camera_fit.h"
#include "common/scratch_dir.h"
#include "image_file.h"
#include "synthcam.h"
#include "tool_runner.h"
#include "tracking/camera.h"
#include "tracking/pose.h"
#ifdef ROVANTA_CALIBRATE_VIDEO
#include "tools/videoenc/videoenc.h"
#endif

namespace {

constexpr int kCols = 11, kRows = 8;
constexpr double kSquare = 15.0;

// Not the demo camera: unequal focal lengths, the distortion centre away from
// the principal point, and stronger barrel distortion (about 11 px at the corners).
CameraIntrinsics trueCamera() {
    CameraIntrinsics c{};
    c.width = 640;
    c.height = 480;
    const double P[3][4] = {{610, 0, 327, 0}, {0, 604, 236, 0}, {0, 0, 1, 0}};
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 4; ++k) c.projection[r][k] = P[r][k];
    const double d[4] = {316, 247, 18, 1};
    for (int i = 0; i < 4; ++i) c.distortion[i] = d[i];
    return c;
}

struct BoardPose {
    double distance, tilt, yaw, spin, x, y;
};

// Tilted every way, near enough to fill much of the picture, and pushed into its corners.
const BoardPose kPoses[] = {{300, 45.0, 0.0, -30, 0.0, 33.0},     {320, 30.3, 17.5, -1, 24.0, 30.5},
                            {340, 22.5, 39.0, 28, 44.2, 18.7},    {300, 0.0, 35.0, -3, 45.0, 0.0},
                            {320, -22.5, 39.0, 26, 41.6, -17.6},  {340, -30.3, 17.5, -5, 25.5, -32.4},
                            {300, -45.0, 0.0, 24, 0.0, -33.0},    {320, -30.3, -17.5, -7, -24.0, -30.5},
                            {340, -22.5, -39.0, 22, -44.2, -18.7}, {300, 0.0, -35.0, -9, -45.0, 0.0},
                            {320, 22.5, -39.0, 20, -41.6, 17.6},  {340, 30.3, -17.5, -11, -25.5, 32.4},
                            {300, -13, -18, 15, -45, -32},        {300, -13, 18, 15, 45, -32},
                            {300, 13, 18, 15, 45, 32},            {300, 13, -18, 15, -45, 32}};

void renderView(const BoardPose& p, const SynthPicture& board, unsigned seed, RgbPicture* out) {
    SynthMarker m;
    m.picture = &board;
    m.width = kSquare * board.size;
    makeMarkerPose(p.distance, p.tilt, p.yaw, p.spin, p.x, p.y, m.pose);
    SynthOptions o;
    o.supersample = 3;
    o.noiseSigma = 2.0;
    o.seed = seed;
    SynthFrame frame;
    ASSERT_EQ(renderSynthFrame(trueCamera(), &m, 1, o, &frame), 0);
    out->width = frame.width;
    out->height = frame.height;
    out->rgb.resize(static_cast<size_t>(frame.width) * frame.height * 3);
    for (size_t i = 0; i < out->rgb.size() / 3; ++i)
        for (int c = 0; c < 3; ++c) out->rgb[3 * i + c] = frame.bgrx[4 * i + 2 - c];
}

// The ray the true camera sees at observed pixel (u, v), in its own frame at depth 1.
void trueRay(const CameraIntrinsics& c, double u, double v, double ray[3]) {
    double ix = u, iy = v;
    for (int i = 0; i < 20; ++i) {  // exact inverse of the lens model
        double ox, oy;
        idealToObserved(c.distortion, ix, iy, &ox, &oy);
        ix += u - ox;
        iy += v - oy;
    }
    ray[1] = (iy - c.projection[1][2]) / c.projection[1][1];
    ray[0] = (ix - c.projection[0][2] - c.projection[0][1] * ray[1]) / c.projection[0][0];
    ray[2] = 1.0;
}

// Projection error of `fitted` against the truth over a grid across the whole picture: median, worst.
std::pair<double, double> projectionError(const CameraIntrinsics& fitted) {
    CameraIntrinsics truth = trueCamera();
    std::vector<double> errors;
    for (int j = 0; j <= 12; ++j)
        for (int i = 0; i <= 16; ++i) {
            double u = 639.0 * i / 16, v = 479.0 * j / 12, ray[3];
            trueRay(truth, u, v, ray);
            ImagePoint p = projectCameraPoint(fitted, ray);
            errors.push_back(std::hypot(p.x - u, p.y - v));
        }
    std::sort(errors.begin(), errors.end());
    return {errors[errors.size() / 2], errors.back()};
}

// OpenCV's own calibration (five distortion terms) on the same corners: its RMS.
double openCvRms(const std::vector<std::vector<ImagePoint>>& views) {
    std::vector<cv::Point3f> board;
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c) board.emplace_back(kSquare * c, kSquare * r, 0.0f);
    std::vector<std::vector<cv::Point3f>> objects(views.size(), board);
    std::vector<std::vector<cv::Point2f>> images;
    for (const auto& v : views) {
        images.emplace_back();
        for (const ImagePoint& p : v) images.back().emplace_back(static_cast<float>(p.x), static_cast<float>(p.y));
    }
    cv::Mat K, dist;
    std::vector<cv::Mat> r, t;
    return cv::calibrateCamera(objects, images, cv::Size(640, 480), K, dist, r, t);
}

// The same views as frames of a video, each shown twice; --every 2 takes each once.
void checkVideoViews(const std::vector<RgbPicture>& views, const ScratchDir& dir) {
#ifdef ROVANTA_CALIBRATE_VIDEO
    std::string error, path = dir.file("views.avi");
    VideoEncoder* encoder = videoEncoderCreate(path, VideoEncoderSettings{640, 480, 10, 95}, &error);
    ASSERT_NE(encoder, nullptr) << error;
    for (const RgbPicture& v : views)
        for (int repeat = 0; repeat < 2; ++repeat) ASSERT_EQ(videoEncoderAddFrame(encoder, toBgrx(v).data(), &error), 0);
    ASSERT_EQ(videoEncoderFinish(encoder, &error), 0) << error;
    ToolRun run = runTool(std::string(ROVANTA_CALIBRATE_BINARY) + " --board 11x8 --square 15 --every 2 --video " + path +
                              " --out " + dir.file("video.dat"),
                          dir.file("run"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("views.avi frame 30: "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" px over 16 views"), std::string::npos) << run.out;
    CameraIntrinsics fitted;
    ASSERT_EQ(loadCameraParams(dir.file("video.dat").c_str(), 1, &fitted), 0);
    EXPECT_LT(projectionError(fitted).first, 1.0) << "through JPEG compression";
#else
    (void)views, (void)dir;
#endif
}

// The printed board seen from one of four directions (a perspective warp into
// 640 x 480), its rows bent up and down by `bend` pixels.
RgbPicture warpedView(const RgbPicture& board, int direction, double bend) {
    cv::Mat src(board.height, board.width, CV_8UC3, const_cast<uint8_t*>(board.rgb.data())), out;
    const float w = static_cast<float>(board.width), h = static_cast<float>(board.height);
    const cv::Point2f quads[4][4] = {{{100, 80}, {540, 40}, {540, 440}, {100, 400}},
                                     {{100, 40}, {540, 80}, {540, 400}, {100, 440}},
                                     {{130, 60}, {510, 60}, {560, 420}, {80, 420}},
                                     {{80, 60}, {560, 60}, {510, 420}, {130, 420}}};
    const cv::Point2f from[4] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
    const cv::Point2f* to = quads[direction];
    cv::warpPerspective(src, out, cv::getPerspectiveTransform(from, to), cv::Size(640, 480), cv::INTER_AREA,
                        cv::BORDER_CONSTANT, cv::Scalar(255, 255, 255));
    if (bend > 0) {
        cv::Mat mapX(480, 640, CV_32F), mapY(480, 640, CV_32F);
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                mapX.at<float>(y, x) = static_cast<float>(x);
                mapY.at<float>(y, x) = static_cast<float>(y + bend * std::sin(x / 40.0));
            }
        cv::remap(out.clone(), out, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(255, 255, 255));
    }
    RgbPicture view{640, 480, std::vector<uint8_t>(out.data, out.data + 640 * 480 * 3)};
    return view;
}

double printedRms(const std::string& out) {
    size_t at = out.find("RMS reprojection error: ");
    return at == std::string::npos ? -1.0 : std::atof(out.c_str() + at + 24);
}

TEST(Calibrate, RenderedViewsGiveTheTrueCameraBack) {
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    SynthPicture board = chessboardPicture(kCols, kRows);
    std::string images;
    std::vector<std::vector<ImagePoint>> corners;
    std::vector<RgbPicture> views(std::size(kPoses));
    for (size_t i = 0; i < views.size(); ++i) {
        renderView(kPoses[i], board, static_cast<unsigned>(i + 1), &views[i]);
        std::string path = dir.file("view" + std::to_string(i) + ".ppm");
        ASSERT_TRUE(writePpm(path, views[i]));
        images += " " + path;
        corners.emplace_back();
        ASSERT_TRUE(findBoardCorners(views[i], kCols, kRows, &corners.back())) << path;
    }
    // A first picture without the board, of another size: the size is the first usable view's.
    RgbPicture blank{320, 240, std::vector<uint8_t>(320 * 240 * 3, 180)};
    ASSERT_TRUE(writePpm(dir.file("blank.ppm"), blank));

    ToolRun run = runTool(std::string(ROVANTA_CALIBRATE_BINARY) + " --board 11x8 --square 15 --out " +
                              dir.file("camera.dat") + " " + dir.file("blank.ppm") + images,
                          dir.file("run"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("blank.ppm: no 11x8 chessboard found; skipped"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("warning"), std::string::npos) << run.err;
    double rms = printedRms(run.out);
    EXPECT_GT(rms, 0.0) << run.out;
    EXPECT_LT(rms, 0.3) << run.out;

    CameraIntrinsics fitted;
    ASSERT_EQ(loadCameraParams(dir.file("camera.dat").c_str(), 1, &fitted), 0);
    EXPECT_EQ(fitted.width, 640);
    EXPECT_EQ(fitted.height, 480);
    auto [median, worst] = projectionError(fitted);
    EXPECT_LT(median, 0.3) << "worst " << worst;
    EXPECT_LT(worst, 1.0) << "median " << median;

    // The model is exact for these views: OpenCV's five-term model cannot fit them better.
    CameraFit fit;
    std::string error;
    ASSERT_TRUE(fitCamera(corners, BoardShape{kCols, kRows, kSquare}, 640, 480, &fit, &error)) << error;
    EXPECT_LE(fit.rms, openCvRms(corners) + 1e-3);
    std::printf("calibration: RMS %.4f px (OpenCV %.4f px), projection error median %.3f px, worst %.3f px\n", fit.rms,
                openCvRms(corners), median, worst);
    checkVideoViews(views, dir);
}

// Views of a strongly bending lens whose pincushion start would settle far from the truth:
// the best of the starts is kept, whichever comes last.
TEST(CameraFit, TheBestStartIsKept) {
    // Lenses in the middle of a band of focal lengths and coefficients where that start goes astray.
    for (const auto& [focal, coefficient] : {std::pair{775.0, 120.0}, {700.0, 125.0}, {875.0, 115.0}}) {
        CameraIntrinsics lens = trueCamera();
        lens.projection[0][0] = lens.projection[1][1] = focal;
        lens.distortion[2] = coefficient;
        const double poses[][5] = {{0.4, 0.3, 0.2, -50, -35}, {-0.4, 0.3, -0.3, 50, -35}, {0.3, -0.4, 0.5, -50, 35},
                                   {-0.3, -0.4, 1.2, 50, 35},  {0.0, 0.5, 0.0, 0, 0},      {0.5, 0.0, 2.0, 0, 0}};
        std::vector<std::vector<ImagePoint>> views;
        for (const auto& pose : poses) {
            double R[3][3];
            rotationFromVector(pose, R);
            views.emplace_back();
            for (int k = 0; k < 54; ++k) {
                const double X[2] = {(k % 9) * 20.0 - 80, (k / 9) * 20.0 - 50};
                double p[3];
                for (int r = 0; r < 3; ++r) p[r] = R[r][0] * X[0] + R[r][1] * X[1] + (r < 2 ? pose[3 + r] : 0.4 * focal);
                ImagePoint o = projectCameraPoint(lens, p);
                const double seed = k + 100.0 * views.size();
                views.back().push_back({o.x + 0.3 * std::sin(12.9898 * seed), o.y + 0.3 * std::cos(78.233 * seed)});
            }
        }
        CameraFit fit;
        std::string error;
        ASSERT_TRUE(fitCamera(views, BoardShape{9, 6, 20.0}, 640, 480, &fit, &error)) << error;
        EXPECT_LT(fit.rms, 0.35) << "focal " << focal;
        EXPECT_NEAR(fit.camera.distortion[2], coefficient, 2.0) << "focal " << focal;
    }
}

TEST(Calibrate, PrintedBoardIsFoundAndBadRequestsAreRefused) {
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    ToolRun printed = runTool(std::string(ROVANTA_CALIBRATE_BINARY) + " --board 9x6 --square 8 --print-board " +
                                  dir.file("board.bmp"),
                              dir.file("run"));
    ASSERT_EQ(printed.status, 0) << printed.err;
    RgbPicture board;
    std::string error;
    ASSERT_TRUE(readImageFile(dir.file("board.bmp"), &board, &error)) << error;
    EXPECT_EQ(board.width, 94 * 12) << "8 mm squares at 300 dpi, 12 squares across";
    std::vector<ImagePoint> corners;
    EXPECT_TRUE(findBoardCorners(board, 9, 6, &corners));

    // Four views of the printed board warped at will, one of them bent: no one camera sees them
    // so, and the fit (a focal length of a tenth of a pixel) is reported but not written.
    std::string views;
    for (int i = 0; i < 4; ++i) {
        std::string path = dir.file("warped" + std::to_string(i) + ".ppm");
        ASSERT_TRUE(writePpm(path, warpedView(board, i, i == 3 ? 4.0 : 0.0)));
        views += " " + path;
    }
    ToolRun doubtful = runTool(std::string(ROVANTA_CALIBRATE_BINARY) + " --board 9x6 --square 8 --out " +
                                   dir.file("c.dat") + views,
                               dir.file("run"));
    EXPECT_EQ(doubtful.status, 1) << doubtful.err;
    EXPECT_NE(doubtful.err.find("warning: only 4 usable views"), std::string::npos) << doubtful.err;
    EXPECT_NE(doubtful.err.find("c.dat: the measured camera is unusable (projection[0][0] (the focal length in x)"),
              std::string::npos)
        << doubtful.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("c.dat")));

    const std::string blank = dir.file("blank.ppm"), view = dir.file("warped0.ppm");
    ASSERT_TRUE(writePpm(blank, RgbPicture{64, 48, std::vector<uint8_t>(64 * 48 * 3, 200)}));
    const std::string png = "\x89PNG\r\n\x1a\n" + std::string("\0\0\0\x0dIHDR", 8);
    const std::string pngBomb = dir.write("bomb.png", png + std::string("\0\0\x4e\x20\0\0\x4e\x20\x08\x02\0\0\0", 13) +
                                                          std::string(4000, '\0'));
    const std::string damagedPng = dir.write("damaged.png", png + std::string("\0\0\0\x40\0\0\0\x30\x08\x02\0\0\0", 13) +
                                                               std::string(400, '\x55'));
    const std::string jpegBomb = dir.write("bomb.jpg", std::string("\xFF\xD8\xFF\xE0\0\x04xy\xFF\xC0\0\x11\x08\xEA\x60\xEA\x60", 18) +
                                                           std::string(4000, '\0'));
    const std::string gif = dir.write("board.gif", "GIF89a" + std::string(100, '\0'));
    const std::string viewBytes = readWholeFile(view);
    struct Case {
        std::string args;
        int status;
        std::string says;
    };
    const Case cases[] = {
        {"--board 8x5 --square 25 --out c.dat " + blank + " " + dir.file("board.bmp"), 1,
         "only 0 usable views of the board; at least 3 are needed"},
        // Pictures are judged by their header before any decoder sees them, in the tool's own words.
        {"--board 9x6 --square 8 --out c.dat " + pngBomb, 1, "bomb.png: the picture is too large: 20000x20000"},
        {"--board 9x6 --square 8 --out c.dat " + jpegBomb, 1, "bomb.jpg: the picture is too large: 60000x60000"},
        {"--board 9x6 --square 8 --out c.dat " + damagedPng, 1, "damaged.png: damaged PNG file: it cannot be decoded"},
        {"--board 9x6 --square 8 --out c.dat " + gif, 1, "board.gif: unsupported image format (GIF;"},
        // An output that is a picture or an input is refused: a forgotten --out name after a shell pattern.
        {"--board 9x6 --square 8 --out " + view + " " + blank, 2, "warped0.ppm holds a picture (PPM)"},
        {"--board 9x6 --square 8 --out " + view + " " + view, 2, "warped0.ppm is also an input"},
        {"--board 9x6 --square 1e300 --print-board b.bmp", 1, "squares of 1e+300 mm make a board larger than 20000"},
        {"--board 9x9 --square 25 --out c.dat x.ppm", 2, "as many corners across as down"},
        {"--board 9 --square 25 --out c.dat x.ppm", 2, "COLSxROWS"},
        {"--board 9x6 --square 0 --out c.dat x.ppm", 2, "--square"},
        {"--board 9x6 --square 25 x.ppm", 2, "--out"},
        {"--board 9x6 --square 25 --out c.dat", 2, "nothing to measure"},
    };
    for (const Case& c : cases) {
        ToolRun run = runTool("cd " + dir.path() + " && " + ROVANTA_CALIBRATE_BINARY + " " + c.args, dir.file("run"));
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.args << "\n" << run.err;
        EXPECT_EQ(run.err.find("libpng"), std::string::npos) << "no library noise: " << run.err;
        EXPECT_LT(run.err.size(), 2000u) << run.err;
    }
    EXPECT_EQ(readWholeFile(view), viewBytes);
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.bmp")));
}

}  // namespace
