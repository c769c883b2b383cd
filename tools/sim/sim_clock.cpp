#include "sim_clock.h"

#include <cmath>
#include <limits>

int64_t simClockSeconds(int64_t step, double secondsPerStep)
{
    const double elapsed = static_cast<double>(step - 1) * secondsPerStep;
    const double whole = std::floor(elapsed + 1e-9);
    // Beyond what int64 holds the clock simply stops.
    if (!(whole < 9.2e18)) {
        return std::numeric_limits<int64_t>::max();
    }
    return static_cast<int64_t>(whole);
}
