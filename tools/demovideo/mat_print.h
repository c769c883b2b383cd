#pragma once
// The demo mat as a page to print: the sheet the video films (track print and
// markers, without the table's light), on A3 landscape at a fixed scale, with
// a bar to check that the printer kept that scale.
#include <string>
#include <vector>

#include "tools/demovideo/demo_table.h"
#include "tools/imageio/image_file.h"
#include "tools/synthcam/synthcam.h"

// Printed, one table unit is this long; the sheet then fits an A3 page.
constexpr double kPrintMillimetresPerUnit = 0.75;

// The sheet, `pixelsPerUnit` pixels per table unit, row 0 along its +y edge.
RgbPicture paintMatSheet(const DemoTable& table, const std::vector<SynthPicture>& pictures, double pixelsPerUnit);

// Writes a one-page PDF, A3 landscape, with the sheet centred at the print
// scale; false and a reason when it cannot.
bool writeMatPdf(const std::string& path, const RgbPicture& sheet, const DemoTable& table, std::string* error);
