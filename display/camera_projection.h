#pragma once
// Turning the calibrated camera into an OpenGL projection, and the marker
// transform into an OpenGL modelview. Pure math: no OpenGL here.

// P = K [R | t]: splits a 3x4 camera matrix into its upper-triangular
// intrinsic part K (K[2][2] = 1) and a rigid transform T. Returns 0.
int decomposeCameraMatrix(const double P[3][4], double K[3][4], double T[3][4]);

// Column-major OpenGL projection reproducing camera matrix P for an image of
// width x height pixels, with image y pointing up (see flipCameraMatrixVertically).
// Returns the status of the decomposition (0 on success).
int cameraToGlProjection(const double P[3][4], int width, int height, double nearPlane,
                         double farPlane, double out[16]);

// Makes image y point up, as in OpenGL window coordinates.
void flipCameraMatrixVertically(double P[3][4], int height);

// Column-major 4x4 [T; 0 0 0 1].
void transformToGlMatrix(const double T[3][4], double out[16]);
