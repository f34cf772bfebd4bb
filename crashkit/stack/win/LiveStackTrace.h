#pragma once
// Stack traces of this process's threads: the calling one, and others while they are
// suspended. Memory is read through guarded reads of a table of readable ranges.
#include <windows.h>

#include <vector>

#include "GuardedRead.h"
#include "StackTracer.h"

// The options with the functions analysed for this whole process, unless others are given.
TStackTraceOptions WithProcessFunctions(TStackTraceOptions options);

// The caller's own stack, most recent item the return address into the caller. The thread's
// start address (0 = none) is its oldest item on i686.
TStackTraceResult TraceCurrentThread(const ICodeNamer& namer, const TStackTraceOptions& options,
                                     TItemAddress threadStart = 0);

// Another thread: while it is suspended only its registers and its stack are taken (a copy of
// the stack on i686, the unwinder's walk on x86_64), with no allocation and no lock but the
// trace lock, which is taken first; so a thread suspended while holding the loader's or a
// heap's lock cannot block the trace. Empty when the thread cannot be suspended or its
// registers read.
TStackTraceResult TraceOtherThread(HANDLE thread, const ICodeNamer& namer, const TStackTraceOptions& options,
                                   TItemAddress threadStart = 0);

#if defined(__x86_64__)
// The return addresses the system's unwinder finds from a context, the context's own
// instruction first. A routine without unwind data is a leaf: its return address is at the
// stack pointer. A damaged stack cannot make the walk endless. Appends to the list, which
// does not grow past its capacity when that is reserved for 1024 addresses.
void UnwindReturnAddresses(CONTEXT context, const TDATryRead& readable, std::vector<TItemAddress>& addresses);
#endif
