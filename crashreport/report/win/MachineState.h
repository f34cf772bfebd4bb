#pragma once
// The processor state sections: registers from a context, the stack from its stack pointer and
// the code around an address, read from the live process without faulting.
#include <windows.h>

#include "ReportSubject.h"
#include "win32/ContextRegisters.h"
#include "report/RegisterText.h"

// eax, ebx, ecx, edx, esi, edi, eip, esp, ebp; on x86_64 their 64-bit forms, then r8 to r15.
TRegisterSet RegistersOf(const CONTEXT& context);

// From the stack pointer to the end of its memory region (no limit when the region cannot be
// queried), at most 20 lines; bytes that cannot be read end the dump.
UnicodeString StackDumpAt(uintptr_t stackPointer);

// The function holding the address with the address's line marked; empty when the address is
// 0 or its function cannot be walked. One line of explanation on x86_64, whose code the
// disassembler does not decode.
// functionStart is where the function begins when the debug information knows it, else 0.
UnicodeString DisassemblyAt(uintptr_t address, uintptr_t functionStart, const TReportOptions& options);
