#pragma once
// What the table, the printed mat and the objects look like, unlit, as RGB
// values 0..255. Everything but the marker stays well above the tracker's
// darkness threshold, even in shadow, so that nothing else on the table can
// pass for a marker or join the marker's black border.
#include <vector>

#include "tools/demovideo/box_ray.h"
#include "tools/demovideo/demo_table.h"
#include "tools/synthcam/synthcam.h"

// The table top: wooden planks running along x.
void woodColour(double x, double y, double rgb[3]);

// The printed mat at a table point, or false off the sheet. The markers
// themselves are not part of it (each lies on white paper).
bool matColour(const DemoTable& table, double x, double y, double rgb[3]);

// A mat marker's picture at a table point (nearest pixel), or false off every
// marker; `pictures` holds the table's markers' pictures in its order.
bool markerColour(const DemoTable& table, const std::vector<SynthPicture>& pictures, double x, double y,
                  double rgb[3]);

// A point on a face of an object, (u, v) as faceCoordinates gives them.
void objectColour(const TableObject& object, BoxFace face, double u, double v, double rgb[3]);
