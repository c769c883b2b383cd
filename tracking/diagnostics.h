// Where the tracker writes its diagnostics ("??? 1" and its siblings from
// outline tracing, and the pattern file messages): standard output unless a
// program moves them, as rovanta-track does to keep its output clean.
#pragma once

#include <cstdio>

// nullptr restores standard output.
void setTrackerDiagnostics(std::FILE* stream);
std::FILE* trackerDiagnostics();
