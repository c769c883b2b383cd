#pragma once
// A tool's output file checked before anything is written: a forgotten
// output name (a shell pattern that expanded into the inputs, a last photo
// taken for the output) must not destroy a photo or an input.

#include <string>
#include <vector>

// Why `output` must not be written: it is one of `inputs` (by any name or
// link), or it already holds a picture, which `what` (e.g. "a camera file")
// would replace. Empty when it may be written.
std::string outputProblem(const std::string& output, const std::vector<std::string>& inputs, const std::string& what);
