#pragma once
// Threads and work items that any module of the process starts run through the library's
// start routine: a new thread gets its entry in the thread-name list (creator, start routine)
// until its routine returns. Only where the library lives in the main program.
#include <windows.h>

// False where the library does not live in the main program, or when nothing was hooked.
bool InstallThreadHooks();
void RemoveThreadHooks();
// Whether CreateThread's own call of the creating routine is redirected (else its imports are).
bool ThreadCreationRedirected();

// Runs a thread routine with its parameter, whether it removes the parameter from the stack
// itself or leaves it to its caller.
DWORD CallThreadRoutine(LPTHREAD_START_ROUTINE routine, void* parameter);
