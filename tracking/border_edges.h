// The inner edges of a marker's black border, which lie a quarter of the marker's width inside
// its outer edges. A camera's tone curve and blur move every edge between the ink and the paper
// into the ink by about the same amount, so the border looks narrower on both of its edges alike:
// its known width tells how far the outer edges were moved.
#pragma once

#include "tracking/edge_profile.h"

// Whether the square with these corners (ideal coordinates) has a dark border a quarter of its
// width wide, as the markers the refinement knows; other kinds keep what detection found.
bool borderIsQuarterWide(const BgrxFrame& frame, const double distortion[4], const double corners[4][2]);

// How far (pixels) the four outer `lines` (ideal coordinates, as refined on the frame, side k
// between corners k and k + 1) lie inside the paper's edges, as the border's inner edges show
// it. False when fewer than two inner edges can be read (a small marker whose picture comes close
// to the border) or they disagree.
bool borderShift(const BgrxFrame& frame, const double distortion[4], const int halfWindow[4], const double lines[4][3],
                 double* shift);
// Moves the four lines out of the quadrilateral they bound by `shift` pixels; false when they
// bound none.
bool moveSidesOut(double lines[4][3], double shift);
