#pragma once
// Threads of the library start through a routine that catches whatever escapes their work and
// reports it (continuing allowed), removes the thread's name and ends the thread with 0.
#include <windows.h>

#include <exception>

using TLibraryThreadProc = DWORD (*)(void* parameter);

// As CreateThread; null (with the system's last error) when the thread could not start.
HANDLE StartLibraryThread(TLibraryThreadProc routine, void* parameter, DWORD creationFlags, DWORD* threadId);

// Runs work as the body of a library thread started otherwise: what escapes it is reported as
// above, traced at the raising code's stack, the thread's name is removed, and the exception is
// given back; null when the work returned.
std::exception_ptr RunLibraryThreadWork(void (*work)(void*), void* data) noexcept;

// Reports the exception being handled (inside a catch) as one that escaped the thread: an
// operating-system exception as such, others as the thread handler's; continuing is allowed
// except on the main thread.
void ReportEscapedException();
