// Stand-ins for Conduvex.dll in binding tests: every export name maps to this one routine,
// which only a binding looks up and nothing calls. Loading leaves a mark in the process's
// environment, so that a test can tell a library that was loaded and freed again from one
// that was never found.
#include <windows.h>

extern "C" int StandInExport()
{
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        SetEnvironmentVariableA("CONDUVEX_STAND_IN_LOADED", "1");
    return TRUE;
}
