#pragma once
// The call stack of one report thread: the exception's thread from the exception's registers,
// the calling thread from its own, any other while it is suspended.
#include "ReportSubject.h"
#include "ReportThreads.h"
#include "StackTracer.h"

struct TThreadTrace {
    bool accessible = false; // the thread's registers could be read
    TStackTraceResult result;
};

TThreadTrace TraceReportThread(const TReportThread& thread, const std::optional<CONTEXT>& context,
                               uintptr_t exceptAddress, const ICodeNamer& namer, const TStackTraceOptions& options);
