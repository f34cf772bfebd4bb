#pragma once
// The host runtime's exception display routines, found in its packages, get entry jumps to the
// library's report stubs: the application's HandleException (the sender as first extra value),
// the application's ShowException (the exception object) and the utility ShowException (object
// and address). Each change goes into the given patch table, which undoes it.
#include "capture/win/PackageExports.h"
#include "patch/CodePatchTable.h"

// The number of routines patched.
unsigned InstallPackageReportHooks(const TPackageRoutines& routines, TCodePatchTable& patches);

// The runtime's register convention: the first arguments in EAX, EDX and ECX on i686.
#if defined(__i386__)
#define ZEL_RUNTIME_CALL __attribute__((regparm(3)))
#else
#define ZEL_RUNTIME_CALL
#endif

void ZEL_RUNTIME_CALL AppHandleExceptionHook(void* application, void* sender);
void ZEL_RUNTIME_CALL AppShowExceptionHook(void* application, void* exceptionObject);
void ZEL_RUNTIME_CALL ShowExceptionHook(void* exceptionObject, void* address);
