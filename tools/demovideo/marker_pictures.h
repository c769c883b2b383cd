#pragma once
// The pictures of the demo mat's markers, read from the folder that holds
// them under the names the demo table gives.
#include <string>
#include <vector>

#include "tools/demovideo/demo_table.h"
#include "tools/synthcam/synthcam.h"

// One square picture per mat marker, in the table's order; on failure false
// and a one-line reason naming the file.
bool loadMarkerPictures(const DemoTable& table, const std::string& dir, std::vector<SynthPicture>* pictures,
                        std::string* error);
