#pragma once
// The title and the body of a thread's section.
#include <cstdint>

#include "text/ZelTypes.h"

inline constexpr char16_t kStackNotAccessible[] = u">> stack not accessible";

struct TThreadTitleFacts {
    UnicodeString name; // empty: the thread has none
    uint32_t threadId = 0;
    int innerLevel = 0; // 0: not an inner exception's entry
    bool suspended = false; // suspended before this report
    int priority = 0;
};

// name + " ($" + hex id + ")" (an unnamed thread is called "thread"), the inner-exception
// level, ":", then the marks of a suspended thread and of a priority other than normal.
UnicodeString ThreadSectionTitle(const TThreadTitleFacts& facts);

struct TThreadBodyFacts {
    int innerLevel = 0;
    UnicodeString innerClass;
    UnicodeString innerMessage;
    UnicodeString creatorName; // empty: not created by a known thread
};

// The call-stack text with the inner exception's line first and the creator's line before
// its last line (not for a text that starts with ">", a note rather than a call stack).
UnicodeString ThreadSectionBody(const UnicodeString& stackText, const TThreadBodyFacts& facts);

// The body of a thread whose registers could not be read; the exception's thread also names
// the exception address (already formatted as a call-stack line).
UnicodeString StackNotAccessibleText(const UnicodeString& exceptionLocation);
