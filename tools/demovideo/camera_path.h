#pragma once
// The demo camera's path: a smooth closed orbit around and above the marker.

struct OrbitSettings {
    double seconds = 20.0;
    double distance = 680.0;        // mean distance from the look-at point
    double distanceSwing = 80.0;    // +- around the mean, twice per loop
    double elevationDeg = 62.0;     // mean elevation above the table
    double elevationSwingDeg = 10.0;
    double targetSwing = 25.0;      // the look-at point wanders this far around the origin
};

// Marker-to-camera transform (x right, y down, z forward) at time t; the path
// is periodic in `seconds`, so a looping video has no jump.
void orbitPose(const OrbitSettings& orbit, double t, double pose[3][4]);
