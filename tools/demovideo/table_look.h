#pragma once
// What the table, the printed mat and the objects look like, unlit, as RGB
// values 0..255. Everything but the marker stays well above the tracker's
// darkness threshold, even in shadow, so that nothing else on the table can
// pass for a marker or join the marker's black border.
#include "tools/demovideo/box_ray.h"
#include "tools/demovideo/demo_table.h"

// The table top: wooden planks running along x.
void woodColour(double x, double y, double rgb[3]);

// The printed mat at a table point, or false off the sheet. The marker itself
// is not part of it (it lies on the white paper in the middle).
bool matColour(const DemoTable& table, double x, double y, double rgb[3]);

// A point on a face of an object, (u, v) as faceCoordinates gives them.
void objectColour(const TableObject& object, BoxFace face, double u, double v, double rgb[3]);
