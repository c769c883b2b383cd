#include "tracking/diagnostics.h"

namespace {

std::FILE* diagnostics = nullptr;

}  // namespace

void setTrackerDiagnostics(std::FILE* stream) { diagnostics = stream; }

std::FILE* trackerDiagnostics() { return diagnostics ? diagnostics : stdout; }
