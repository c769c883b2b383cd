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
// of marker), leaving the lines and corners as they were and `refined` false.
int refineMarkerEdges(const uint8_t* frame, DetectedMarker* marker);
// Every marker of a detection list; returns how many were refined.
int refineMarkerList(const uint8_t* frame, DetectedMarker* markers, int count);

// A few damped Gauss-Newton steps on the six pose parameters from `transform`. The transform is
// replaced only by a finite pose with a smaller error; returns the error of the pose it holds.
double polishMarkerPose(const DetectedMarker* marker, const double centre[2], double width, double transform[3][4]);
// estimateMarkerPose (the angle search, which allocates its small matrices), then the polish.
// -1 with the transform untouched when there is no pose or it is not finite.
double estimatePrecisePose(const DetectedMarker* marker, const double centre[2], double width,
                           double transform[3][4]);
