#pragma once
// Wall-clock measurement for exchange tests. The exchanges count time on the system's tick
// counter, which under Wine moves in steps of up to about 20 ms, so their limits are only
// met to within one step.
#include <windows.h>

#include <gtest/gtest.h>

inline double NowMs()
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

inline constexpr double kTickStepMs = 20;
// Scheduling of a loaded machine running several test programs at once.
inline constexpr double kSchedulingSlackMs = 150;

// How soon after an arrival a waiter for it runs again, on a loaded machine.
inline constexpr double kArrivalWakeMs = 50;

// Milliseconds the work took.
template <class Work>
double Timed(Work&& work)
{
    const double start = NowMs();
    work();
    return NowMs() - start;
}

// Within one tick step below and a tick step plus scheduling above the expected time.
inline ::testing::AssertionResult TookAbout(double expectedMs, double elapsedMs)
{
    if (elapsedMs >= expectedMs - kTickStepMs &&
        elapsedMs <= expectedMs + kTickStepMs + kSchedulingSlackMs)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "took " << elapsedMs << " ms, expected about " << expectedMs << " ms";
}
