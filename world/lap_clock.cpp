#include "world/lap_clock.h"

#include <ctime>

int64_t wallClockSeconds() { return static_cast<int64_t>(std::time(nullptr)); }
