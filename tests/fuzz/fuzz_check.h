#pragma once
// Shared by the fuzz targets: a broken invariant must stop the run like a
// crash, so that libFuzzer keeps the input and the replay test fails.

#include <cstdio>
#include <cstdlib>

inline void fuzzCheck(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
        std::abort();
    }
}
