/* Stands in for the system's fault reporting: counts the faults handed to it. Exported
   without decoration (linked with --kill-at), as the system names them. */
#include <windows.h>

static LONG faults;
static DWORD lastCode;

__declspec(dllexport) DWORD WINAPI ReportFault(EXCEPTION_POINTERS* pointers, DWORD mode)
{
    (void)mode;
    InterlockedIncrement(&faults);
    lastCode = pointers && pointers->ExceptionRecord ? pointers->ExceptionRecord->ExceptionCode : 0;
    return 0;
}

__declspec(dllexport) LONG WINAPI StandInFaults(void)
{
    return faults;
}

__declspec(dllexport) DWORD WINAPI StandInLastCode(void)
{
    return lastCode;
}
