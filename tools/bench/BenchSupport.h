#pragma once
// What the benchmarks share: exports looked up by name as a host does, the clocks they
// measure with, and the frame they send.
#include "Vantel97.h"
#include "conduvex.h"

#include <windows.h>

#include <cstdint>
#include <string>

template <class Function>
Function Bind(HMODULE library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

// The performance counter in milliseconds.
inline double NowMs()
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Kernel plus user time, in milliseconds.
inline double CpuMs(const FILETIME& kernel, const FILETIME& user)
{
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

// Kernel and user time of the whole process, in milliseconds.
inline double ProcessCpuMs()
{
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user))
        return 0;
    return CpuMs(kernel, user);
}

struct TRate {
    double callsPerSecond = 0;
    double cpuMsPerCall = 0;
};

// Runs `call` for the given time, after a warm-up; zero rates when a call failed.
template <class Call>
TRate Measure(double seconds, Call call)
{
    constexpr int kWarmUpCalls = 20;
    for (int i = 0; i < kWarmUpCalls; ++i) {
        if (!call())
            return {};
    }
    const double cpuStart = ProcessCpuMs();
    const double start = NowMs();
    long calls = 0;
    while (NowMs() - start < seconds * 1000.0) {
        if (!call())
            return {};
        ++calls;
    }
    const double elapsed = NowMs() - start;
    return {static_cast<double>(calls) * 1000.0 / elapsed, (ProcessCpuMs() - cpuStart) / static_cast<double>(calls)};
}

// The request frame of instruction 0x31 (read the inputs) to a module, signature 0.
inline std::string ReadInputsFrame(uint8_t address)
{
    constexpr uint8_t kReadInputs = 0x31;
    return BuildVantel97(address, 0, kReadInputs, {});
}

// ciSndGetVantel97 of `request`, then ciRead of the whole answer it announced.
inline bool SendAndReadAnswer(PFN_ciSndGetVantel97 sndGetVantel97, PFN_ciRead read, CI_HANDLE link,
                              const std::string& request, uint32_t timeoutMs)
{
    int32_t answerLength = 0;
    if (sndGetVantel97(link, reinterpret_cast<const uint8_t*>(request.data()), static_cast<int32_t>(request.size()),
                       &answerLength, timeoutMs) != CI_OK ||
        answerLength == 0)
        return false;
    uint8_t answer[64];
    if (answerLength > static_cast<int32_t>(sizeof(answer)))
        return false;
    int32_t length = answerLength;
    return read(link, answer, &length) == CI_OK && length == answerLength;
}
