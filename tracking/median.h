#pragma once
// The middle of a set of values, for robust spreads and typical timings.

#include <algorithm>

// The middle one of n > 0 values (of an even count, the upper of the two middle ones);
// reorders them.
inline double medianInPlace(double* values, int n) {
    std::nth_element(values, values + n / 2, values + n);
    return values[n / 2];
}
