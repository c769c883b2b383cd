#pragma once
// The demo camera's path: a smooth closed orbit around and above the marker.
#include "tools/demovideo/demo_table.h"

// Marker-to-camera transform (x right, y down, z forward) at time t; the path
// is periodic in `seconds`, so a looping video has no jump.
void orbitPose(const OrbitSettings& orbit, double t, double pose[3][4]);
