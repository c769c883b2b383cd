#pragma once
// The table top around the track painted once, lamp shadows included, so
// that each video frame only looks colours up.
#include <cstdint>
#include <vector>

#include "tools/demovideo/demo_table.h"

struct TableRaster {
    double x0 = 0, y0 = 0;     // table point of texel (0, 0)'s centre
    double texelsPerUnit = 1;
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // row j holds y = y0 + j / texelsPerUnit
};

TableRaster paintTableRaster(const DemoTable& table, double texelsPerUnit);

// Colour at a table point, bilinearly filtered; false outside the raster.
bool rasterColour(const TableRaster& raster, double x, double y, double rgb[3]);

// Share of the lamp that lights a table point (1 in the open, less in the
// objects' soft shadows and next to their feet).
double tableLighting(const DemoTable& table, double x, double y);

// Brightness of a point on an object's face with the given outward normal.
double faceLighting(const DemoTable& table, const double point[3], const double normal[3]);
