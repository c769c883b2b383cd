// tracking_mat_accuracy: how often and how well the mat's pose is found on rendered 1280 x 720
// views of a mat of five markers, with the centre marker in view, partly or wholly covered, or
// outside the picture, as a webcam delivers them (tone curve, blur, noise, JPEG), against the
// centre marker's own pose on the same frames.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "image_file.h"
#include "synthcam.h"
#include "tracking/auto_threshold.h"
#include "tracking/mat.h"
#include "tracking/pose.h"
#include "tracking/refine.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kRadToDeg = 180.0 / kPi;

struct Layout {
    const char* name;
    double sheet;
    std::vector<SynthMatMarker> markers;  // the first is the centre marker
};

enum class View { Whole, CentrePartlyCovered, CentreCovered, CentreOutside };
constexpr int kViewCount = 4;
const char* const kViewNames[kViewCount] = {"whole mat", "centre partly covered", "centre covered", "centre outside"};

struct Case {
    View view;
    double pose[3][4];  // mat to camera
    SynthOptions options;
    double gamma = 1.0;
};

struct Score {
    bool found = false;
    bool centreAlone = false;  // the centre marker's own pose was found
    bool centreUsed = false;
    int used = 0;
    double rotationDeg = 0, distance = 0, centreRotationDeg = 0, centreDistance = 0;
};

std::vector<SynthPicture> thePictures;
bool theVerbose = false;

Layout makeLayout(int which) {
    // Two mats with other places and sizes: one to tune on, one to check on.
    static const double places[2][5][3] = {
        {{0, 0, 80}, {-160, 110, 60}, {160, 110, 60}, {160, -110, 60}, {-160, -110, 60}},
        {{0, 0, 80}, {-175, 15, 70}, {170, -20, 64}, {-30, 125, 56}, {40, -120, 72}}};
    static const int pictures[2][5] = {{3, 11, 19, 27, 35}, {101, 207, 313, 419, 525}};
    Layout layout{which == 0 ? "tuning mat" : "check mat", 520, {}};
    for (int i = 0; i < 5; i++) {
        thePictures[which * 5 + i] = codedMarkerPicture(pictures[which][i], 128);
        SynthMatMarker m;
        m.centre[0] = places[which][i][0], m.centre[1] = places[which][i][1], m.width = places[which][i][2];
        layout.markers.push_back(m);
    }
    for (int i = 0; i < 5; i++) layout.markers[i].picture = &thePictures[which * 5 + i];
    return layout;
}

// A mat file whose patterns have their pictures beside them (NAME.ppm for NAME.patt); the
// first marker counts as the centre marker.
bool layoutFromMatFile(const std::string& path, Layout* layout, Mat* mat) {
    std::string why;
    if (!loadMat(path.c_str(), mat, &why)) {
        std::fprintf(stderr, "tracking_mat_accuracy: %s\n", why.c_str());
        return false;
    }
    thePictures.resize(mat->markers.size());
    *layout = Layout{"mat file", 0, {}};
    for (size_t i = 0; i < mat->markers.size(); i++) {
        const MatMarker& m = mat->markers[i];
        const std::string picture = m.patternPath.substr(0, m.patternPath.rfind('.')) + ".ppm";
        RgbPicture image;
        if (!readImageFile(picture, &image, &why) || image.width != image.height) {
            std::fprintf(stderr, "tracking_mat_accuracy: no square picture %s %s\n", picture.c_str(), why.c_str());
            return false;
        }
        thePictures[i] = {image.width, std::move(image.rgb)};
        SynthMatMarker placed;
        placed.picture = &thePictures[i];
        placed.centre[0] = m.centre[0], placed.centre[1] = m.centre[1], placed.width = m.width;
        layout->markers.push_back(placed);
        const double reach = std::max(std::fabs(m.centre[0]), std::fabs(m.centre[1])) + m.width / 2;
        layout->sheet = std::max(layout->sheet, 2 * reach + 40);
    }
    return layout->markers.size() >= 2;
}

// Mat to camera for a camera at `distance` from the mat point `target`, `tilt` from the mat's
// normal, seen from azimuth `azimuth`, turned `roll` about its axis (degrees).
void lookAt(const double target[2], double distance, double tilt, double azimuth, double roll, double pose[3][4]) {
    const double t = tilt / kRadToDeg, a = azimuth / kRadToDeg, r = roll / kRadToDeg;
    const double eye[3] = {target[0] + distance * std::sin(t) * std::cos(a),
                           target[1] + distance * std::sin(t) * std::sin(a), distance * std::cos(t)};
    double forward[3] = {target[0] - eye[0], target[1] - eye[1], -eye[2]};
    const double fn = std::sqrt(forward[0] * forward[0] + forward[1] * forward[1] + forward[2] * forward[2]);
    for (double& v : forward) v /= fn;
    // Right: horizontal in the mat, across the line of sight; down completes the camera's axes.
    double right[3] = {forward[1], -forward[0], 0};
    const double rn = std::hypot(right[0], right[1]);
    for (double& v : right) v /= rn;
    double down[3] = {forward[1] * right[2] - forward[2] * right[1], forward[2] * right[0] - forward[0] * right[2],
                      forward[0] * right[1] - forward[1] * right[0]};
    double x[3], y[3];
    for (int i = 0; i < 3; i++) {
        x[i] = std::cos(r) * right[i] + std::sin(r) * down[i];
        y[i] = -std::sin(r) * right[i] + std::cos(r) * down[i];
    }
    const double* rows[3] = {x, y, forward};
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) pose[i][j] = rows[i][j];
        pose[i][3] = -(rows[i][0] * eye[0] + rows[i][1] * eye[1] + rows[i][2] * eye[2]);
    }
}

// Observed pixel of a mat point.
void project(const CameraIntrinsics& cam, const double pose[3][4], double x, double y, double out[2]) {
    double c[3], h[3];
    for (int r = 0; r < 3; r++) c[r] = pose[r][0] * x + pose[r][1] * y + pose[r][3];
    for (int r = 0; r < 3; r++) h[r] = cam.projection[r][0] * c[0] + cam.projection[r][1] * c[1] + cam.projection[r][2] * c[2];
    idealToObserved(cam.distortion, h[0] / h[2], h[1] / h[2], &out[0], &out[1]);
}

void markerCorners(const CameraIntrinsics& cam, const double pose[3][4], const SynthMatMarker& m, double out[4][2]) {
    const double h = m.width / 2;
    const double model[4][2] = {{-h, h}, {h, h}, {h, -h}, {-h, -h}};
    for (int k = 0; k < 4; k++) project(cam, pose, m.centre[0] + model[k][0], m.centre[1] + model[k][1], out[k]);
}

int cornersInside(const CameraIntrinsics& cam, const double corners[4][2], double margin) {
    int inside = 0;
    for (int k = 0; k < 4; k++)
        inside += corners[k][0] > margin && corners[k][1] > margin && corners[k][0] < cam.width - margin &&
                  corners[k][1] < cam.height - margin;
    return inside;
}

// An object reaching over one corner of the centre marker, or covering it whole.
SynthOccluder overCentre(const double c[4][2], bool whole, std::mt19937& random) {
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    SynthOccluder o;
    const double mid[2] = {(c[0][0] + c[2][0]) / 2, (c[0][1] + c[2][1]) / 2};
    if (whole) {
        for (int k = 0; k < 4; k++)
            for (int i = 0; i < 2; i++) o.polygon.push_back(mid[i] + 1.6 * (c[k][i] - mid[i]));
    } else {
        const int k = static_cast<int>(uniform(0, 4)) % 4;
        const double* a = c[k];
        const double *next = c[(k + 1) % 4], *previous = c[(k + 3) % 4];
        const double f1 = uniform(0.35, 0.8), f2 = uniform(0.35, 0.8), g = uniform(0.0, 0.5);
        for (int i = 0; i < 2; i++) o.polygon.push_back(a[i] + 0.9 * (a[i] - mid[i]));
        for (int i = 0; i < 2; i++) o.polygon.push_back(a[i] + f1 * (next[i] - a[i]) + 0.4 * (next[i] - mid[i]));
        for (int i = 0; i < 2; i++) o.polygon.push_back(a[i] + f1 * (next[i] - a[i]));
        for (int i = 0; i < 2; i++) o.polygon.push_back(mid[i] + g * (a[i] - mid[i]));
        for (int i = 0; i < 2; i++) o.polygon.push_back(a[i] + f2 * (previous[i] - a[i]));
        for (int i = 0; i < 2; i++) o.polygon.push_back(a[i] + f2 * (previous[i] - a[i]) + 0.4 * (previous[i] - mid[i]));
    }
    const double shade = uniform(40, 200);
    o.rgb[0] = shade, o.rgb[1] = shade * uniform(0.7, 1.1), o.rgb[2] = shade * uniform(0.6, 1.0);
    return o;
}

bool makeCase(const CameraIntrinsics& cam, const Layout& layout, View view, std::mt19937& random, Case* out) {
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    out->view = view;
    const bool outside = view == View::CentreOutside;
    const int others = static_cast<int>(layout.markers.size()) - 1;
    const SynthMatMarker& end = layout.markers[1 + static_cast<int>(uniform(0, others)) % others];
    const double target[2] = {outside ? end.centre[0] * 1.1 : uniform(-40, 40), outside ? end.centre[1] * 1.1 : uniform(-30, 30)};
    lookAt(target, outside ? uniform(220, 360) : uniform(420, 800), uniform(10, 55), uniform(0, 360), uniform(-12, 12),
           out->pose);
    double corners[4][2];
    markerCorners(cam, out->pose, layout.markers[0], corners);
    const int centreInside = cornersInside(cam, corners, 2);
    if (outside ? centreInside > 0 : centreInside < 4) return false;
    int othersWhole = 0;
    for (size_t i = 1; i < layout.markers.size(); i++) {
        double c[4][2];
        markerCorners(cam, out->pose, layout.markers[i], c);
        othersWhole += cornersInside(cam, c, 2) == 4;
    }
    if (othersWhole < 1) return false;
    SynthOptions& o = out->options;
    o.supersample = 3;
    o.noiseSigma = uniform(1.5, 4);
    o.blurPasses = static_cast<int>(uniform(0, 2));
    o.seed = static_cast<unsigned>(uniform(1, 1e6));
    o.ink = uniform(8, 22), o.paper = uniform(200, 245);
    if (view == View::CentrePartlyCovered || view == View::CentreCovered)
        o.occluders.push_back(overCentre(corners, view == View::CentreCovered, random));
    out->gamma = uniform(1.8, 2.4);
    return true;
}

void applyToneCurve(double gamma, std::vector<uint8_t>& bgrx) {
    uint8_t table[256];
    for (int v = 0; v < 256; v++) table[v] = static_cast<uint8_t>(std::lround(255 * std::pow(v / 255.0, 1 / gamma)));
    for (size_t i = 0; i < bgrx.size(); i++)
        if (i % 4 != 3) bgrx[i] = table[bgrx[i]];
}

RgbPicture toRgb(const SynthFrame& frame) {
    RgbPicture picture{frame.width, frame.height, std::vector<uint8_t>(frame.width * frame.height * 3)};
    for (int p = 0; p < frame.width * frame.height; p++)
        for (int k = 0; k < 3; k++) picture.rgb[p * 3 + k] = frame.bgrx[p * 4 + 2 - k];
    return picture;
}

// A webcam's JPEG compression, through ImageMagick: the frame is written, compressed and read back.
bool compressAsJpeg(const std::string& folder, int quality, SynthFrame& frame) {
    const std::string raw = folder + "/frame.ppm", jpeg = folder + "/frame.jpg", back = folder + "/back.ppm";
    if (!writePpm(raw, toRgb(frame))) return false;
    const std::string command = "convert " + raw + " -quality " + std::to_string(quality) + " " + jpeg +
                                " && convert " + jpeg + " " + back;
    RgbPicture picture;
    std::string why;
    if (std::system(command.c_str()) != 0 || !readImageFile(back, &picture, &why)) {
        std::fprintf(stderr, "tracking_mat_accuracy: JPEG round trip failed %s\n", why.c_str());
        return false;
    }
    frame.bgrx = toBgrx(picture);
    return true;
}

double rotationDifferenceDeg(const double a[3][4], const double b[3][4]) {
    double trace = 0;
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) trace += a[i][j] * b[i][j];
    return std::acos(std::clamp((trace - 1) / 2, -1.0, 1.0)) * kRadToDeg;
}

double relativeDistance(const double found[3][4], const double truth[3][4]) {
    const double f = std::hypot(std::hypot(found[0][3], found[1][3]), found[2][3]);
    const double t = std::hypot(std::hypot(truth[0][3], truth[1][3]), truth[2][3]);
    return std::fabs(f - t) / t;
}

Score score(const Mat& mat, const Case& c, std::vector<uint8_t>& frame, bool precise) {
    Score s;
    resetMarkerHistory();
    resetAutoThreshold();
    DetectedMarker* list = nullptr;
    int count = 0;
    if (detectMarkersAuto(frame.data(), kDefaultThreshold, &list, &count) < 0) return s;
    if (precise) refineMatMarkers(frame.data(), mat, list, count);
    for (int i = 0; i < count; i++) {
        if (list[i].id != mat.markers[0].patternId) continue;
        double pose[3][4];
        const double error = precise ? estimatePrecisePose(&list[i], mat.markers[0].centre, mat.markers[0].width, pose)
                                     : estimateMarkerPose(&list[i], mat.markers[0].centre, mat.markers[0].width, pose);
        if (error < 0) continue;
        s.centreAlone = true;
        s.centreRotationDeg = rotationDifferenceDeg(pose, c.pose);
        s.centreDistance = relativeDistance(pose, c.pose);
        break;
    }
    if (theVerbose)
        for (int i = 0; i < count; i++) {
            const int m = list[i].id < 0 ? -1 : matMarkerIndex(mat, list[i].id);
            if (m < 0) {
                std::printf("    unidentified: conf %.2f area %d at %.0f %.0f\n", list[i].confidence, list[i].area,
                            list[i].center[0], list[i].center[1]);
                continue;
            }
            double model[4][2], image[4][2], model3[4][3];
            markerCorrespondences(&list[i], mat.markers[m].centre, mat.markers[m].width, model, image);
            for (int k = 0; k < 4; k++) model3[k][0] = model[k][0], model3[k][1] = model[k][1], model3[k][2] = 0;
            std::printf("    marker %d id %d conf %.2f area %d%s%s: corners off by %.2f px RMS\n", m, list[i].id,
                        list[i].confidence, list[i].area, list[i].refined ? " refined" : "",
                        list[i].remembered ? " remembered" : "",
                        std::sqrt(poseReprojectionError(model3, image, 4, c.pose)));
        }
    MatPose pose;
    if (estimateMatPose(mat, list, count, precise, &pose) < 0) return s;
    s.found = true;
    s.used = pose.usedCount;
    for (int u = 0; u < pose.usedCount; u++) s.centreUsed = s.centreUsed || list[pose.used[u]].id == mat.markers[0].patternId;
    s.rotationDeg = rotationDifferenceDeg(pose.transform, c.pose);
    s.distance = relativeDistance(pose.transform, c.pose);
    return s;
}

double quantile(std::vector<double> v, double q) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(q * (v.size() - 1) + 0.5)];
}

bool writeMat(const Layout& layout, const std::string& folder, Mat* mat) {
    std::string text = "# " + std::string(layout.name) + "\n";
    for (size_t i = 0; i < layout.markers.size(); i++) {
        uint8_t values[kPatternFileValues];
        makePatternValues(*layout.markers[i].picture, values);
        const std::string name = "m" + std::to_string(i) + ".patt";
        if (savePatternFile((folder + "/" + name).c_str(), values) < 0) return false;
        char line[200];
        std::snprintf(line, sizeof line, "MARKER %s %.3f %.3f %.3f\n", name.c_str(), layout.markers[i].centre[0],
                      layout.markers[i].centre[1], layout.markers[i].width);
        text += line;
    }
    const std::string path = folder + "/mat.txt";
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file) return false;
    std::fputs(text.c_str(), file);
    std::fclose(file);
    clearPatterns();
    std::string why;
    if (!loadMat(path.c_str(), mat, &why)) {
        std::fprintf(stderr, "tracking_mat_accuracy: %s\n", why.c_str());
        return false;
    }
    return true;
}

struct Totals {
    int frames = 0, found = 0, centreAlone = 0, centreUsed = 0;
    std::vector<double> rotation, distance, centreRotation, centreDistance;
    void add(const Score& s) {
        frames++;
        found += s.found, centreAlone += s.centreAlone, centreUsed += s.centreUsed;
        if (s.found) rotation.push_back(s.rotationDeg), distance.push_back(100 * s.distance);
        if (s.centreAlone) centreRotation.push_back(s.centreRotationDeg), centreDistance.push_back(100 * s.centreDistance);
    }
    void print(const char* name) const {
        std::printf("| %-22s | %2d/%-2d | %.3f / %.3f deg | %.3f / %.3f %% | %2d/%-2d | %.3f / %.3f deg | %.3f %% |\n",
                    name, found, frames, quantile(rotation, 0.5), quantile(rotation, 1), quantile(distance, 0.5),
                    quantile(distance, 1), centreAlone, frames, quantile(centreRotation, 0.5),
                    quantile(centreRotation, 1), quantile(centreDistance, 0.5));
    }
};

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Scores the mat's pose against rendered views of a five-marker mat."};
    int perView = 4, layoutIndex = 1, jpegQuality = 80;
    unsigned seed = 7;
    bool exact = false, verbose = false;
    std::string saveFolder, matFile;
    app.add_option("--per-view", perView, "frames of each kind of view")->check(CLI::Range(1, 100));
    app.add_option("--seed", seed, "seed of the views and their noise");
    CLI::Option* builtIn =
        app.add_option("--mat", layoutIndex, "0: the tuning mat, 1: the check mat")->check(CLI::Range(0, 1));
    app.add_option("--mat-file", matFile, "a mat file whose patterns have their pictures beside them (NAME.ppm)")
        ->excludes(builtIn);
    app.add_option("--jpeg", jpegQuality, "JPEG quality of the frames, 0: not compressed")->check(CLI::Range(0, 100));
    app.add_flag("--exact", exact, "without the sub-pixel sides and the polish");
    app.add_flag("--verbose", verbose, "scores of every frame");
    app.add_option("--save", saveFolder, "writes every frame into this folder as PPM");
    CLI11_PARSE(app, argc, argv);
    theVerbose = verbose;

    const std::string folder = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/rovanta_mat_accuracy";
    std::string command = "mkdir -p " + folder;
    if (std::system(command.c_str()) != 0) return 1;
    Layout layout;
    Mat mat;
    if (matFile.empty()) {
        thePictures.resize(10);
        layout = makeLayout(layoutIndex);
        if (!writeMat(layout, folder, &mat)) return 1;
    } else if (!layoutFromMatFile(matFile, &layout, &mat)) {
        return 1;
    }
    const CameraIntrinsics camera = makeWebcamIntrinsics(1280, 720);
    setTrackerCameraParams(&camera);
    if (!saveFolder.empty()) {
        saveCameraParams((saveFolder + "/camera.dat").c_str(), &camera, 1);
        if (matFile.empty()) std::system(("cp " + folder + "/*.patt " + folder + "/mat.txt " + saveFolder).c_str());
    }
    const SynthPicture sheet = blankSheetPicture();
    std::mt19937 random(seed);
    Totals all, byView[kViewCount];
    for (int v = 0; v < kViewCount; v++) {
        for (int n = 0; n < perView; n++) {
            Case c;
            while (!makeCase(camera, layout, static_cast<View>(v), random, &c)) {
            }
            std::vector<SynthMarker> placed = placeOnMat(layout.markers, c.pose, &sheet, layout.sheet);
            SynthFrame frame;
            renderSynthFrame(camera, placed.data(), static_cast<int>(placed.size()), c.options, &frame);
            applyToneCurve(c.gamma, frame.bgrx);
            if (jpegQuality > 0 && !compressAsJpeg(folder, jpegQuality, frame)) return 1;
            if (!saveFolder.empty())
                writePpm(saveFolder + "/view" + std::to_string(v) + "_" + std::to_string(n) + ".ppm", toRgb(frame));
            const Score s = score(mat, c, frame.bgrx, !exact);
            all.add(s);
            byView[v].add(s);
            if (verbose)
                std::printf("%-22s %s: %d markers%s, rotation %.3f deg, distance %.3f %%; centre alone %s %.3f deg %.3f %%\n",
                            kViewNames[v], s.found ? "found" : "NOT FOUND", s.used, s.centreUsed ? " (centre)" : "",
                            s.rotationDeg, 100 * s.distance, s.centreAlone ? "found" : "-", s.centreRotationDeg,
                            100 * s.centreDistance);
        }
    }
    std::printf("| %s, %s | mat pose | rotation median / worst | distance median / worst | centre alone | "
                "rotation median / worst | distance median |\n|---|---|---|---|---|---|---|\n",
                layout.name, exact ? "exact" : "refined");
    for (int v = 0; v < kViewCount; v++) byView[v].print(kViewNames[v]);
    all.print("all");
    return 0;
}
