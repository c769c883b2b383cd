#pragma once
// A tool's output file checked before anything is written: a forgotten
// output name (a shell pattern that expanded into the inputs, a last photo
// taken for the output) must not destroy a photo, a video or an input, and a
// name that cannot be written is refused before the work rather than after.

#include <string>
#include <vector>

// Why `output` must not be written: it is one of `inputs` (by any name or
// link); it already holds a picture or a video, which `what` (e.g. "the camera
// file") would replace, unless it is of the very format the tool writes,
// `writes` (e.g. "BMP"); it is not a regular file; or its folder does not
// exist. Empty when it may be written.
std::string outputProblem(const std::string& output, const std::vector<std::string>& inputs, const std::string& what,
                          const std::string& writes = "");
