#pragma once
// Threads of the library start through a routine that catches whatever escapes their work and
// reports it (continuing allowed), removes the thread's name and ends the thread with 0.
#include <windows.h>

using TLibraryThreadProc = DWORD (*)(void* parameter);

// As CreateThread; null (with the system's last error) when the thread could not start.
HANDLE StartLibraryThread(TLibraryThreadProc routine, void* parameter, DWORD creationFlags, DWORD* threadId);

// Reports the exception being handled (inside a catch) as one that escaped the thread: an
// operating-system exception as such, others as the thread handler's; continuing is allowed
// except on the main thread.
void ReportEscapedException();
