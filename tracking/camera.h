// Camera intrinsics: the binary parameter file, resizing, the tracker's installed copy,
// and the radial lens distortion model between observed and ideal image coordinates.
#pragma once

#include <string>

struct CameraIntrinsics {
    int width;
    int height;
    double projection[3][4];
    double distortion[4];  // centre x, centre y, coefficient (x 1e-8), scale
};

constexpr int kCameraRecordSize = 136;
// Largest frame (width * height) the tracker accepts: 8K video; its work areas grow to the frame.
constexpr int kMaxTrackerPixels = 1 << 25;

// Reads `count` records into the CameraIntrinsics* arguments that follow; 0 or -1.
int loadCameraParams(const char* path, int count, ...);
// Why loadCameraParams(path, 1, ...) failed, in a few words, without opening
// the file: e.g. "a named pipe, not a regular file", "No such file or
// directory", "shorter than one 136-byte record"; empty when none of these.
std::string cameraFileProblem(const char* path);
// Largest width or height a camera file may give.
constexpr int kMaxCameraSide = 16384;
// Why a record read from a file is unusable for tracking, naming the bad
// value: a size out of range, an entry that is not finite, or a value outside
// the range any real camera falls in (focal lengths from a tenth of the width
// to a hundred widths, principal point and distortion centre near the
// picture, a scale from 0.5 to 2, a distortion that does not fold the picture
// back on itself, a last projection row of 0 0 1 0); empty when usable.
// loadCameraParams itself accepts any 136 bytes.
std::string cameraParamsProblem(const CameraIntrinsics& param);
// Writes records in the same big-endian layout, whole or not at all; 0, or -1
// with the reason in `why`.
int saveCameraParams(const char* path, const CameraIntrinsics* params, int count, std::string* why = nullptr);
// -1 (target untouched) when the source width or the new size is not positive.
int resizeCameraParams(const CameraIntrinsics* source, int width, int height, CameraIntrinsics* target);
// -1 (nothing installed) for a size the work areas cannot hold.
int setTrackerCameraParams(const CameraIntrinsics* param);
const CameraIntrinsics* trackerCameraParams();
void trackerImageSize(int* width, int* height);
int printCameraParams(const CameraIntrinsics* param);

int observedToIdeal(const double distortion[4], double ox, double oy, double* ix, double* iy);
int idealToObserved(const double distortion[4], double ix, double iy, double* ox, double* oy);
// observedToIdeal of n points (x, y, x, y, ...) in place, two at a time: the same results, sooner.
void observedToIdealPoints(const double distortion[4], double* points, int n);
