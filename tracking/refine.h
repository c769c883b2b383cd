// Precision after detection: each side of a marker re-located on the grey values of the frame
// with sub-pixel accuracy, and a final polish of the pose on the corners' reprojection error.
// Neither allocates memory.
#pragma once

#include <cstdint>

#include "tracking/marker.h"

// Sides shorter than this (observed pixels) give too few samples to trust.
constexpr double kMinRefinedSide = 12.0;

// Re-locates the four sides of `marker` in `frame` (4 bytes per pixel, tracker image size),
// moves them out by what the camera's tone curve and blur took from the black border (read from
// the border's inner edges), refits its lines and recomputes its corners. Returns 0 with
// `refined` set; -1 when a side cannot be re-located (frame border, blur, a side too short, no
// contrast, a covered side) or the square's border is not a quarter of its width (another kind
// of marker), leaving the lines and corners as they were and `refined` false. When the inner
// edges cannot be read (a picture that comes close to the border) and the outer ones show a tone
// curve, the sides are moved out by what the outer edges' width suggests.
int refineMarkerEdges(const uint8_t* frame, DetectedMarker* marker);
// Every marker of a detection list; returns how many were refined. The markers of one frame
// share the camera's tone curve: one whose inner border edges cannot be read is moved out as far
// as the median of the others, or, when none could be read, as its own edges suggest.
int refineMarkerList(const uint8_t* frame, DetectedMarker* markers, int count);
// The same for markers[which[j]], j < count (negative entries skipped).
int refineMarkerSet(const uint8_t* frame, DetectedMarker* markers, int count, const int* which);

// Mean squared distance (pixels^2) between n image points and their model points (x, y, z)
// projected through `transform`; infinite when a point lies behind the camera.
double poseReprojectionError(const double model[][3], const double image[][2], int n, const double transform[3][4]);
// A few damped Gauss-Newton steps on the six pose parameters from `transform`, on the
// reprojection error of n model points against their image points (ideal coordinates). The
// transform is replaced only by a finite pose with a smaller error; returns the mean squared
// error of the pose it holds.
double polishPose(const double model[][3], const double image[][2], int n, double transform[3][4]);
// polishPose with one more parameter: a widening w (pixels) of every outline, which moves image
// point k by w * widen[k] (a tone curve or blur shifts all sides of dark squares alike). Several
// markers are needed to tell it from the distance. The error is that of the widened points.
double polishPoseWidened(const double model[][3], const double image[][2], const double widen[][2], int n,
                         double transform[3][4], double* widening);
// polishPose on the marker's four corners.
double polishMarkerPose(const DetectedMarker* marker, const double centre[2], double width, double transform[3][4]);
// estimateMarkerPose (the angle search, which allocates its small matrices), then the polish.
// -1 with the transform untouched when there is no pose or it is not finite.
double estimatePrecisePose(const DetectedMarker* marker, const double centre[2], double width,
                           double transform[3][4]);
