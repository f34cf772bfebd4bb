// The fault switch of the road test's own build of Conduvex.dll: the host names a fault point of
// the library's threads and window procedures in CONDUVEX_FAULT_AT, and the next pass there
// faults, once, inside the library's own code, as a bug of it would.
#include "runtime/FaultProbe.h"

#include <windows.h>

#include <cstring>

namespace {

constexpr char kSwitch[] = "CONDUVEX_FAULT_AT";

void FaultWhereSwitched(const char* point)
{
    char named[64] = {};
    const DWORD length = GetEnvironmentVariableA(kSwitch, named, sizeof named);
    if (length == 0 || length >= sizeof named || std::strcmp(named, point) != 0)
        return;
    SetEnvironmentVariableA(kSwitch, nullptr);
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

// Installed as the library's code is initialised, before its entry runs.
struct TSwitchInstaller {
    TSwitchInstaller() { SetFaultProbe(&FaultWhereSwitched); }
} installer;

} // namespace
