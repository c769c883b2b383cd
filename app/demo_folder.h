#pragma once
// Where "rovanta --demo" finds the demo: installed with the program (bin/rovanta
// beside share/rovanta/demo/), else in the source tree the program was built
// from, so that it works from the build tree as well.
#include <string>

// The installed demo folder when it holds a Scene.txt, else `builtFrom` when
// that does; "" when neither does.
std::string findDemoFolder(const std::string& programPath, const std::string& builtFrom);

// The running program's own path, or "" where the system does not tell.
std::string runningProgramPath();
