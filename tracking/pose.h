// Pose of a detected square marker: the transform [R | t] from marker to camera coordinates.
#pragma once

#include "tracking/marker.h"

constexpr int kMaxPosePoints = 500;

// The four corners of a marker `width` wide centred at `centre` in the model plane, and the
// detected corner each one is fitted to: image point k is corner (4 + k - orientation) mod 4.
// Pose estimation and the pose polish both fit this one pairing.
void markerCorrespondences(const DetectedMarker* marker, const double centre[2], double width, double model[4][2],
                           double image[4][2]);

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
// The rotation by |w| radians about w, accurate for every angle down to none.
void rotationFromVector(const double w[3], double R[3][3]);
void cameraTimesPose(double a, double b, double c, const double t[3], const double P[3][4], double M[3][4]);
int orientEdgeDirection(const double from[2], const double P[3][4], double axis[3], const double to[2]);
int orthogonalizeAxes(double u[3], double v[3]);
