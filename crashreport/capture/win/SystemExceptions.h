#pragma once
// Operating-system exceptions of the library's own code become C++ exceptions: a vectored
// handler turns a fault inside the library's image into a throw of EExternalException with
// its message, raised from the faulting instruction (code built with -fnon-call-exceptions
// unwinds from there). The thread-naming exception names the thread wherever it is raised.
#include <windows.h>

#include "capture/SystemExceptionText.h"

// Installs the handler once; later calls do nothing.
void InstallSystemExceptionCapture();
void RemoveSystemExceptionCapture();

// Raises a fault that a guard of the library caught, as the handler would have: the object
// carries the fault's message, and the raise record its registers.
[[noreturn]] void RaiseCaughtFault(const EXCEPTION_RECORD& record, const CONTEXT& context);

// The thread-naming convention {0x1000, name, thread id (-1: the raising thread), flags 0}:
// names the thread in the thread-name list; false for a record of another form.
bool NameThreadFromRecord(const EXCEPTION_RECORD& record);

// The message of an exception record (the module is named from the exception address).
AnsiString SystemExceptionMessage(const EXCEPTION_RECORD& record);
