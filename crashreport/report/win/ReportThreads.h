#pragma once
// The threads of a report, one section each, in section order: the thread that raised and the
// threads of the inner exceptions, the main thread, then every other thread of the process.
#include <cstdint>
#include <vector>

#include "ReportSubject.h"

struct TReportThread {
    uint32_t threadId = 0;
    UnicodeString title;
    bool exceptionThread = false; // traced from the exception's registers
    int innerLevel = 0;           // 1-based position of its inner exception; 0 for none
    UnicodeString innerClass;
    UnicodeString innerMessage;
    UnicodeString creatorName; // the thread that started it, when known
    uintptr_t startAddress = 0; // the routine it started with; 0 when unknown
    // What the stack trace is told besides the registers: the exception address is taken as
    // given (not as the return address of a raising call), every candidate is listed, and the
    // values to test instead of the stack (see TStackTraceOptions).
    bool notAfterRaisingCall = false;
    bool dumpAllCandidates = false;
    AnsiString explicitCandidates;
};

// The routine a thread started with: the one the thread list recorded when the thread was
// started through it, else the one the system keeps; 0 when neither is known.
uintptr_t ThreadStartAddressOf(uint32_t threadId);

// The name of the thread that started this one; empty when unknown.
UnicodeString CreatorNameOf(uint32_t threadId);

// The thread that was started first.
uint32_t MainThreadId();

// With ListThreads off only the thread that raised (and its inner exceptions' entries of the
// same thread) are reported: every announced section is also calculated.
std::vector<TReportThread> PlanThreads(const TReportSubject& subject);
