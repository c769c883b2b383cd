// Two doubles worked on at once (SSE2 on x86-64, plain code elsewhere): each lane is computed
// and rounded exactly as a lone double would be, so a loop can halve its slow divisions and
// square roots without changing a result.
#pragma once

#include <cstring>

using DoublePair = double __attribute__((vector_size(16)));

inline DoublePair loadPair(const double* p) {
    DoublePair v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void storePair(double* p, DoublePair v) { std::memcpy(p, &v, sizeof v); }
