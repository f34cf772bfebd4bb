#pragma once
// The call stack of a thread from its stack, code and registers: every stack value that returns
// behind a verified call is a candidate; recursion is folded, the best chain of calls between
// the anchors (exception address, frame-pointer slots, thread start) is kept, and the items are
// named, written as aligned text and summed into CRCs that survive other load addresses.
#include <cstdint>
#include <mutex>

#include "StackItem.h"
#include "StackSeams.h"

struct TStackTraceResult {
    UnicodeString text; // lines joined with CR LF, most recent call first
    TStackTrace items;
    uint32_t firstItemCrc = 0;
    uint32_t callStackCrc = 0;
    bool hasLine = false;
    TDAUnicodeString moduleNotes; // module file name + "|" + its debug-information note
    TItemAddress mostRecentAddress = 0;
    TItemAddress functionStart = 0;       // of the first listed item that has one
    TItemAddress functionItemAddress = 0; // that item's address
};

// Traces run one at a time. A caller that stops other threads takes this lock first, so that a
// stopped thread cannot hold it.
class TStackTraceLock {
public:
    TStackTraceLock();

private:
    std::lock_guard<std::mutex> lock_;
};

TStackTraceResult TraceStack(const IFunctionEnvironment& memory, const ICodeNamer& namer,
                             const TStackRegisters& registers, const TStackTraceOptions& options);
// A call stack that the system's unwinder found (x86_64): the return addresses, most recent
// first, the first of them listed whatever it is; named, written and summed as a scan's items.
TStackTraceResult ComposeStackTrace(const ICodeNamer& namer, std::span<const TItemAddress> addresses,
                                    const TStackTraceOptions& options);

// The same with the lock already held.
TStackTraceResult TraceStack(const IFunctionEnvironment& memory, const ICodeNamer& namer,
                             const TStackRegisters& registers, const TStackTraceOptions& options,
                             const TStackTraceLock& held);

// One call-stack line for a single address.
UnicodeString FormatStackItem(const ICodeNamer& namer, TItemAddress address, bool showRelativeAddress,
                              bool showRelativeLine);
