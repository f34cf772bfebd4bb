#pragma once
// Where the system's CreateThread calls the routine that really creates a thread
// (CreateRemoteThreadEx or CreateRemoteThread): found by walking its code, so that one
// redirection there catches every thread of the process, whoever imports CreateThread. The
// walk decodes 32-bit code: on x86_64 nothing is found.
#include <optional>

struct TCreationCall {
    void* site;           // the call's 32-bit displacement, or the pointer it calls through
    bool throughPointer;
    const void* target;   // what it calls now
    bool extended;        // the target takes an attribute list (CreateRemoteThreadEx)
};

// Walks the routine until a return, at most a few hundred instructions.
std::optional<TCreationCall> FindCreationCall(const void* createThread);
