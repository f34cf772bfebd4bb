#pragma once
// A property of a fuzz target: one that fails names itself and stops the run, which keeps the
// input that broke it.
#include <cstdio>
#include <cstdlib>

inline void Require(bool condition, const char* what)
{
    if (condition)
        return;
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}
