#include "FaultGuard.h"

#include <windows.h>

#include <mutex>

namespace {

// The landing point of the guarded copy, in the layout of __builtin_setjmp: frame pointer,
// resume address, stack pointer.
using TLanding = void* [5];

thread_local TLanding* guardedLanding = nullptr;

bool IsReadFault(DWORD code) {
  return code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_GUARD_PAGE || code == EXCEPTION_IN_PAGE_ERROR;
}

// Sends a fault of the guarded copy back to its landing point, where __builtin_setjmp
// returns 1; the system resumes there, so no frame is left behind.
LONG CALLBACK ResumeGuardedCopy(EXCEPTION_POINTERS* pointers) {
  TLanding* landing = guardedLanding;
  if (landing == nullptr || !IsReadFault(pointers->ExceptionRecord->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
  guardedLanding = nullptr;
  CONTEXT* context = pointers->ContextRecord;
#if defined(__x86_64__)
  context->Rbp = reinterpret_cast<DWORD64>((*landing)[0]);
  context->Rip = reinterpret_cast<DWORD64>((*landing)[1]);
  context->Rsp = reinterpret_cast<DWORD64>((*landing)[2]);
#else
  context->Ebp = reinterpret_cast<DWORD>((*landing)[0]);
  context->Eip = reinterpret_cast<DWORD>((*landing)[1]);
  context->Esp = reinterpret_cast<DWORD>((*landing)[2]);
#endif
  return EXCEPTION_CONTINUE_EXECUTION;
}

void InstallHandlerOnce() {
  static std::once_flag installed;
  std::call_once(installed, [] { AddVectoredExceptionHandler(1, ResumeGuardedCopy); });
}

// Byte by byte through volatile pointers, so that the compiler keeps every access inside the
// guarded stretch.
__attribute__((noinline)) void CopyBytes(volatile unsigned char* destination, const volatile unsigned char* source,
                                         std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) destination[i] = source[i];
}

}  // namespace

__attribute__((noinline)) bool CopyUnderFaultGuard(void* destination, const void* source, std::size_t count) {
  InstallHandlerOnce();
  TLanding landing;
  if (__builtin_setjmp(landing) != 0) return false;
  guardedLanding = &landing;
  CopyBytes(static_cast<volatile unsigned char*>(destination), static_cast<const volatile unsigned char*>(source),
            count);
  guardedLanding = nullptr;
  return true;
}
