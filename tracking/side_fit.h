// One side of a marker re-located on the grey values: edge crossings read along pixel rows or
// columns between its corners (observed coordinates, where the pixels are), mapped to ideal
// coordinates (where the lines live) and fitted with a line.
#pragma once

#include "tracking/edge_profile.h"

struct SidePlace {
    double from[2], to[2];  // the corners at its ends, ideal coordinates
    double outward[2];      // unit normal away from the marker, ideal coordinates
    double before[3], after[3];  // the neighbouring sides' lines, positive inside the marker
};

struct SideFit {
    double line[3];           // a x + b y + c = 0, unit normal, ideal coordinates
    double medianTransition;  // of the crossings used, see EdgeCrossing
};

// False when too few crossings are found (frame border, blur, no contrast) or the side is too
// short for them.
bool fitSideOnFrame(const GreyFrame& frame, const double distortion[4], const SidePlace& side, int halfWindow,
                    bool probe, SideFit* fit);
