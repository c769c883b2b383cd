// A mat of markers: several square markers printed on one sheet at known places, which together
// give the pose of the sheet, so that the world stays while some of them are covered or out of
// the picture.
//
// The mat file is text, one marker a line, `#` starting a comment:
//     MARKER <pattern file> <centre x> <centre y> <width>
// in mat units, each marker upright (its top towards +y), the pattern file relative to the mat
// file's folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tracking/marker.h"

struct MatMarker {
    std::string patternPath;  // as it will be opened: joined to the mat file's folder
    int line = 0;             // of the mat file, counted from 1
    double centre[2] = {0.0, 0.0};
    double width = 0.0;
    int patternId = -1;  // once loaded
};

struct Mat {
    std::string path;
    std::vector<MatMarker> markers;
};

// Mat files larger than this are refused unread.
constexpr long kMaxMatFileSize = 1L << 20;

// Whether the file reads as a mat rather than a pattern file: its first character other than
// white space (after a UTF-8 byte-order mark) cannot begin a number. An unreadable or empty file
// is no mat, so that the pattern loader reports it as before.
bool isMatFile(const char* path);

// Reads and checks the mat file: every line is blank, a comment or a MARKER line with an existing
// pattern file, positive width and finite numbers; no pattern named twice; no two markers
// overlapping; at most kMaxPatterns markers. Loads nothing. false with `why` naming the file and
// line.
bool readMatFile(const char* path, Mat* mat, std::string* why);
// The same on the file's text; `path` names it in messages and its folder holds the patterns.
bool readMatText(const std::string& text, const char* path, Mat* mat, std::string* why);

// A pattern file already in the tracker's store.
struct LoadedPattern {
    std::string path;
    int id;
};

// readMatFile, then each marker's pattern into the tracker's store (ids in patternId); a pattern
// file among `loaded` keeps the id it has. Refuses two patterns so alike (in any quarter turn)
// that the tracker could not tell them apart.
bool loadMat(const char* path, Mat* mat, std::string* why, const std::vector<LoadedPattern>& loaded = {});
// The second step of loadMat, on a mat readMatFile or readMatText accepted.
bool loadMatPatterns(Mat* mat, std::string* why, const std::vector<LoadedPattern>& loaded = {});

// The index of the mat marker with pattern `id`, or -1.
int matMarkerIndex(const Mat& mat, int id);

// The mat's pose in one frame, from every identified mat marker that agrees with the others.
struct MatPose {
    double transform[3][4] = {};  // mat to camera coordinates: x right, y up, z towards the camera
    double error = 0.0;           // mean squared corner reprojection error, pixels^2
    int used[kMaxPatterns] = {};  // indices into the detection list of the markers fitted
    int usedCount = 0;
    bool refined = false;  // every marker fitted had its sides re-located
};

// Pose of the mat from a detection list: for each mat marker the identified detection with the
// highest confidence (one seen in this frame before one remembered from earlier ones); markers
// whose corners the others' pose does not explain are left out, and the rest are fitted jointly.
// `precise`: each marker's pose polished and the joint pose polished on the corners' reprojection
// error (the sides should have been re-located, refineMatMarkers), with several markers together
// with a widening of every outline that a tone curve or blur causes; otherwise the angle search
// alone. Returns the error, or -1 when no mat marker gives a pose (out untouched).
double estimateMatPose(const Mat& mat, const DetectedMarker* markers, int count, bool precise, MatPose* out);

// Re-locates the sides of the detections estimateMatPose would consider; returns how many were
// refined.
int refineMatMarkers(const uint8_t* frame, const Mat& mat, DetectedMarker* markers, int count);
