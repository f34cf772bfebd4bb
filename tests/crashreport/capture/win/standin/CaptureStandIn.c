/* A module of the host that retrieves messages and starts threads and work items through its
   own import table. */
#include <windows.h>

__declspec(dllexport) BOOL StandInPeekW(MSG* message)
{
    return PeekMessageW(message, NULL, 0, 0, PM_NOREMOVE);
}

__declspec(dllexport) BOOL StandInPeekA(MSG* message)
{
    return PeekMessageA(message, NULL, 0, 0, PM_NOREMOVE);
}

__declspec(dllexport) HANDLE StandInCreateThread(LPTHREAD_START_ROUTINE routine, void* parameter, DWORD* id)
{
    return CreateThread(NULL, 0, routine, parameter, 0, id);
}

__declspec(dllexport) BOOL StandInQueueWorkItem(LPTHREAD_START_ROUTINE routine, void* context)
{
    return QueueUserWorkItem(routine, context, WT_EXECUTEDEFAULT);
}
