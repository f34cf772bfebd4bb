/* Stands in for the leak-check library: answers the API version it was built with and counts
   what it is asked to do. Exported without decoration (linked with --kill-at). */
#include <windows.h>

static LONG leakStarts;
static LONG calibrations;
static LONG debugStarts;
static LONG lastOverrun = -1;
static LONG hidden;
static LONG unloads;
static HMODULE lastModule;

__declspec(dllexport) int WINAPI GetApiVersion(void)
{
    return STAND_IN_API_VERSION;
}

__declspec(dllexport) BOOL WINAPI StartLeakChecking(HMODULE module, void* reserved, const void* memory, int depth,
                                                    int flags)
{
    (void)reserved;
    (void)flags;
    lastModule = module;
    if (memory && depth == 150)
        InterlockedIncrement(&leakStarts);
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI CalibrateLeakChecking(HMODULE module, void* const* samples, int count)
{
    int index;
    (void)module;
    for (index = 0; index < count; ++index)
        if (!samples[index])
            return FALSE;
    InterlockedIncrement(&calibrations);
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI StartDebugMm(HMODULE module, const void* memory, int reserved, BOOL overrun,
                                               int guard, int alignment, int flags)
{
    (void)memory;
    (void)reserved;
    (void)guard;
    (void)alignment;
    (void)flags;
    lastModule = module;
    lastOverrun = overrun ? 1 : 0;
    InterlockedIncrement(&debugStarts);
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI ThisIsNoLeak(void* block)
{
    if (block)
        InterlockedIncrement(&hidden);
    return block != NULL;
}

__declspec(dllexport) void WINAPI UnloadLeakModule(void)
{
    InterlockedIncrement(&unloads);
}

/* What it was asked: leak starts, calibrations, buffer-check starts, the last overrun flag,
   hidden blocks, unloads. */
__declspec(dllexport) LONG WINAPI StandInCount(int which)
{
    const LONG counts[] = {leakStarts, calibrations, debugStarts, lastOverrun, hidden, unloads};
    return which >= 0 && which < 6 ? counts[which] : -1;
}

__declspec(dllexport) HMODULE WINAPI StandInLastModule(void)
{
    return lastModule;
}
