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
};

// The name of the thread that started this one; empty when unknown.
UnicodeString CreatorNameOf(uint32_t threadId);

// The thread that was started first.
uint32_t MainThreadId();

// With ListThreads off only the thread that raised (and its inner exceptions' entries of the
// same thread) are reported: every announced section is also calculated.
std::vector<TReportThread> PlanThreads(const TReportSubject& subject);
