// One side of a marker re-located on the grey values: edge crossings read along pixel rows or
// columns between its corners (observed coordinates, where the pixels are), mapped to ideal
// coordinates (where the lines live) and fitted with a line.
#pragma once

#include "tracking/edge_profile.h"

struct SidePlace {
    double from[2], to[2];  // the corners at its ends, ideal coordinates
    double lightward[2];    // unit normal towards its light side, ideal coordinates
    double before[3], after[3];  // the neighbouring sides' lines, positive on this side's side of them
    bool innerEdge = false;  // the border's inner edge: the picture may follow it closely and interrupt it
};

struct SideFit {
    double line[3];           // a x + b y + c = 0, unit normal, ideal coordinates
    double medianTransition;  // of the crossings used, see EdgeCrossing
    double medianDarkToLight;
};

// False when too few crossings are found (frame border, blur, no contrast) or the side is too
// short for them.
bool fitSideOnFrame(const BgrxFrame& frame, const double distortion[4], const SidePlace& side, int halfWindow,
                    bool probe, SideFit* fit);
