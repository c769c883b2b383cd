// Pose of a detected square marker: the transform [R | t] from marker to camera coordinates.
#pragma once

#include "tracking/marker.h"

constexpr int kMaxPosePoints = 500;

// Returns the mean squared reprojection error (pixels^2), or -1 with the transform untouched
// when no initial rotation can be built.
double estimateMarkerPose(const DetectedMarker* marker, const double centre[2], double width, double transform[3][4]);

int initialRotationFromEdges(const DetectedMarker* marker, const double P[3][4], double R[3][3]);
double poseFromCorrespondences(double R[3][3], const double imagePoints[][2], const double modelPoints[][2], int n,
                               double transform[3][4]);
double refinePoseOnce(double R[3][3], const double P[3][4], const double imagePoints[][2],
                      const double modelPoints[][3], int n, double transform[3][4]);
double searchRotation(double R[3][3], const double t[3], const double P[3][4], const double modelPoints[][3],
                      const double imagePoints[][2], int n);
void rotationToAngles(double R[3][3], double* a, double* b, double* c);
void anglesToRotation(double a, double b, double c, double R[3][3]);
void cameraTimesPose(double a, double b, double c, const double t[3], const double P[3][4], double M[3][4]);
int orientEdgeDirection(const double from[2], const double P[3][4], double axis[3], const double to[2]);
int orthogonalizeAxes(double u[3], double v[3]);
