#pragma once
// One thread section of a report, in section order: what the stack tracer is given for the
// thread and what it handed back.
#include <cstdint>
#include <vector>

#include "stack/StackItem.h"
#include "text/ZelTypes.h"

struct TThreadStack {
    uint32_t threadId = 0;
    UnicodeString title;
    uintptr_t codeAddress = 0;
    bool exactAddress = false;       // the trace starts exactly at the exception address
    bool noExceptionAddress = false; // the exception address does not follow a raising call
    uintptr_t stackPointer = 0;
    uintptr_t stackTop = 0;
    uintptr_t threadStart = 0;
    uintptr_t framePointer = 0;
    bool dumpAllCandidates = false;
    AnsiString explicitCandidates;
    TStackTrace stack;
    int32_t creator = -1; // index of the creating thread's entry; -1 for none
    int32_t innerLevel = 0;
    AnsiString innerClass;
    AnsiString innerMessage;
};

using TDAThreadStack = std::vector<TThreadStack>;
