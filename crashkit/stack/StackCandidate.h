#pragma once
// A stack value that the tracer keeps while it looks for the chain of calls.
#include <cstdint>
#include <vector>

#include "CodeReader.h"

struct TStackCandidate {
    CodeAddress stackAddress = 0; // 0 for the exception address and the thread start
    CodeAddress value = 0;
    bool forced = false;  // exception address or thread start: listed whatever links it
    bool anchor = false;  // forced or found in a frame-pointer slot: every chain passes it
    // The function that the next more recent call must lie in: the call's target for a return
    // address, the routine itself for the thread start; 0 when the call's operand hides it.
    CodeAddress callee = 0;
    // Where the item's own code lies: value - 1 for a return address, the value itself for the
    // exception address and the thread start.
    CodeAddress lookupAddress = 0;
    bool hasLine = false;      // its code has a line in the debug information
    bool hasDebugInfo = false; // its module has debug information
    // A call through a table of pointers may reach any of these functions (callee is 0 then).
    std::vector<CodeAddress> calleeChoices{};
    // The call takes its target from a register or from memory addressed through one (callee
    // is 0 then): a callback, a virtual call.
    bool calleeInRegister = false;
    // The call leads into one of the runtime's or the system's exception or message routines.
    bool calleeIsRuntimeRoutine = false;
    // The function holding its code could not be walked: no call is believed to lead into it.
    bool unanalysable = false;
    bool withoutCall = false; // an explicit entry kept even when no call ends at it
    // An exception address taken as given that is no instruction start of the function holding
    // it: no call is known to lead there, so every call reaches it as one of unknown target.
    bool outsideItsCode = false;
};
