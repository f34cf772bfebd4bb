#pragma once
// How a thread of this library starts and ends.
//
// A library being unloaded cannot wait for a thread that has not started yet: starting
// takes the loader lock the unload holds. So a link's threads are running once it is
// open: their creators wait for them this long.
#include <windows.h>

constexpr DWORD kThreadStartWaitMs = 3000;

// A library being unloaded with threads running (a link's, the crash library's own) waits
// only for each thread's "finished" event (the threads cannot end under the loader lock)
// and is unmapped the moment the last one is set: a thread must run nothing of the library
// after setting it. So the event is set from system code that returns straight into the
// end of the thread, which then ends properly once the unload is over. Terminating it
// instead would skip the system's own end of the thread and leave its records behind.

// A handle of the same event for the exit to close; null when none can be had.
HANDLE DuplicateForExit(HANDLE finished);

// Sets the event, closes this handle of it and ends the calling thread, which
// _beginthreadex started, without returning into this library.
[[noreturn]] void ExitThreadSetting(HANDLE ownedFinished);

// Ends the calling thread by ExitThreadSetting when a handle can be had; otherwise sets
// the event and returns, and the thread returns from its entry at once.
void FinishThread(HANDLE finished);

// Waits at most this long until the thread has finished: its event is set, or it has
// ended without setting it (the system ends every other thread at process exit). False
// when it still runs.
bool WaitUntilFinished(HANDLE thread, HANDLE finished, DWORD timeoutMs);
