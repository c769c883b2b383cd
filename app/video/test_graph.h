#pragma once
// The filter graphs that may stand in for a camera ("lavfi:GRAPH"): test
// pictures and plain picture filters only. A filter that reads or writes
// files (movie=, a file of commands, a lookup table, a plug-in) could reach a
// pipe or a device and hang the game, so any graph naming one is refused.

#include <string>

// Empty when every filter the graph names is one of the allowed ones;
// otherwise why not, naming the first filter refused.
std::string testGraphProblem(const std::string& graph);
