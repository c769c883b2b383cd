// A synthetic camera: renders square markers lying in planes at known poses, over a textured
// table, through a camera with radial lens distortion, as 32-bit B,G,R,X top-down frames.
#pragma once

#include <cstdint>
#include <vector>

#include "tracking/camera.h"
#include "tracking/marker.h"
#include "tracking/pattern.h"

// A square RGB picture, row 0 at the top, including the marker's black border.
struct SynthPicture {
    int size = 0;
    std::vector<uint8_t> rgb;  // size * size * 3
};

struct SynthMarker {
    const SynthPicture* picture = nullptr;
    double width = 80.0;  // full width including the border, in world units
    double pose[3][4] = {};  // marker plane (z = 0) to camera coordinates
};

// Light falling on the scene: multiplies every rendered colour before blur and noise; the
// results clip to 0..255. The defaults leave the picture untouched.
struct SynthLighting {
    double exposure = 1.0;        // below 1 a dim room, above 1 over-exposed
    double flare = 0.0;           // veiling light added everywhere, as a share of white (lifts blacks)
    double gradient[2] = {0, 0};  // change of log light per pixel along x and y
    double origin[2] = {0, 0};    // pixel where the gradient leaves the light at `exposure`
    double shadowFactor = 1.0;    // light left in the shadow; 1 casts none
    double shadowLine[3] = {0, 0, 0};  // a*x + b*y + c > 0 (pixels) lies in the shadow
    double penumbra = 1.0;        // width of the shadow's soft edge, pixels
};

// What a webcam does to the light before the frame is delivered: lens blur, photon and read
// noise, all in linear light, then its tone curve, 8 bits and Motion-JPEG.
struct SynthWebcam {
    bool enabled = false;
    double blurSigma = 0.8;            // gaussian lens blur, pixels
    double electronsAtWhite = 3000.0;  // photon noise: variance of a value v is v * 255 / this
    double readNoise = 1.0;            // in linear steps of 255
    double gamma = 2.2;                // tone curve: output = 255 (input / 255)^(1 / gamma)
    int jpegQuality = 85;              // 0 leaves the frame unencoded
    bool chroma422 = false;            // chroma halved across only, else across and down
};

// Something standing between the camera and the table: a polygon in observed pixels, one colour.
struct SynthOccluder {
    std::vector<double> polygon;  // x0, y0, x1, y1, ...
    double rgb[3] = {90, 70, 60};
};

struct SynthOptions {
    int supersample = 4;         // samples per pixel along each axis
    double noiseSigma = 0.0;     // gaussian noise per channel, in intensity steps
    double saltPepper = 0.0;     // fraction of pixels set to near black
    int blurPasses = 0;          // 3x3 box blurs applied after sampling
    unsigned seed = 1;
    bool useTable = true;        // textured table in the plane of `tablePose`
    double tablePose[3][4] = {};  // defaults to the first marker's pose when all zero
    double tableBrightness = 1.0;  // scales the table's colours
    double ink = 0.0, paper = 255.0;  // what the pictures' 0 and 255 look like: printed ink is not black
    SynthLighting lighting;
    SynthWebcam webcam;  // when enabled, in place of blurPasses, noiseSigma and saltPepper
    std::vector<SynthOccluder> occluders;  // in front of everything, lit like the rest
};

struct SynthFrame {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgrx;  // width * height * 4, row 0 at the top
    // Per marker, corners in the picture's order: top-left, top-right, bottom-right, bottom-left.
    std::vector<std::vector<double>> observedCorners;  // 8 values each (x, y) x 4
    std::vector<std::vector<double>> idealCorners;
};

// Black border of a quarter of the side on each side around an inner picture that no quarter
// turn maps onto itself.
SynthPicture defaultMarkerPicture(int size = 64);
// Another distinct picture, for tests with several patterns.
SynthPicture secondMarkerPicture(int size = 64);

// A distinct picture for each index (0 .. 4095): a 4 x 4 code inside the border, its top-left
// cell always dark and the other corner cells light, so that no quarter turn maps it onto itself
// or onto another index's picture.
SynthPicture codedMarkerPicture(int index, int size = 64);

// A chessboard of cols x rows inner corners, one picture pixel per square,
// centred on white with at least one square of margin; its square side is the
// picture's width / `size`, where `size` is max(cols, rows) + 3.
SynthPicture chessboardPicture(int cols, int rows);

// Pose of a marker seen from `distance` along the camera axis, tilted about its x axis by
// `tiltDeg`, turned about its y axis by `yawDeg` and in its own plane by `spinDeg`; its centre
// sits at camera (offsetX, offsetY, distance).
void makeMarkerPose(double distance, double tiltDeg, double yawDeg, double spinDeg, double offsetX, double offsetY,
                    double pose[3][4]);

// A mat of markers lying on a square white sheet.
struct SynthMatMarker {
    const SynthPicture* picture = nullptr;
    double centre[2] = {0, 0};
    double width = 80.0;
};
// The mat's markers posed in the plane of `matPose` (mat to camera), then the sheet of
// `sheetWidth` centred on the mat's origin, a hair beneath them; `sheet` must outlive the result.
std::vector<SynthMarker> placeOnMat(const std::vector<SynthMatMarker>& markers, const double matPose[3][4],
                                    const SynthPicture* sheet, double sheetWidth);
// A white picture for the sheet.
SynthPicture blankSheetPicture();

// A plausible webcam: focal length about 660 px, principal point near the centre, mild barrel distortion.
CameraIntrinsics makeWebcamIntrinsics(int width, int height);

int renderSynthFrame(const CameraIntrinsics& camera, const SynthMarker* markers, int count,
                     const SynthOptions& options, SynthFrame* frame);

// The lens model inverted to full precision: the ideal point seen at an observed one.
void observedToIdealExact(const double dist[4], double ox, double oy, double* ix, double* iy);
// A webcam's slight softness: one 3x3 box blur of an RGB image (the border stays).
void boxBlur(std::vector<double>& rgb, int w, int h);
// Gaussian sensor noise and dark specks as the options ask, seeded by options.seed.
void addSensorNoise(std::vector<double>& rgb, const SynthOptions& o, int pixels);

// The webcam's processing of a linear RGB image (doubles, 0..255 white) into 8-bit RGB; false
// when the JPEG library fails.
bool applyWebcam(const SynthWebcam& cam, unsigned seed, int width, int height, std::vector<double>& linear,
                 std::vector<uint8_t>* rgb);
// Encodes an 8-bit RGB image as JPEG at the camera's quality and decodes it again.
bool jpegRoundTrip(std::vector<uint8_t>& rgb, int width, int height, const SynthWebcam& cam);

// Multiplies an RGB image (doubles, row 0 at the top) by the light at each pixel.
void applySynthLighting(const SynthLighting& light, int width, int height, std::vector<double>& rgb);

// Hard light for testing the tracker: a reproducible random marker pose, scene and light.
enum class LightCondition { Normal, Dim, OverExposed, Gradient, ShadowEdge };
constexpr int kLightConditionCount = 5;
const char* lightConditionName(LightCondition condition);

struct LightCase {
    SynthOptions options;
    double pose[3][4];            // the marker to find, wholly in view
    bool hasDistractor = false;   // a second marker with another picture beside it
    double distractorPose[3][4];
};

// Draws a case of `condition` for frames of `camera` from `seed`; the same seed gives the same case.
LightCase makeLightCase(LightCondition condition, const CameraIntrinsics& camera, unsigned seed);

// How detection did on a rendered frame whose first marker carries pattern `id`.
struct LightScore {
    bool found = false;  // that marker, in its orientation, every corner within the tolerance
    int falseIds = 0;    // identified markers that are not that marker: another id, another turn, elsewhere
};
LightScore scoreDetection(const DetectedMarker* markers, int count, const SynthFrame& frame, int id,
                          double tolerance);

// Pattern-file values (orientation, channel B/G/R, row, column) from the inner half of a picture.
void makePatternValues(const SynthPicture& picture, uint8_t values[kPatternFileValues]);
