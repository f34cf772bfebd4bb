#pragma once
// The runtime's and the system's routines that raise, dispatch and clean up exceptions and
// dispatch window messages, found by their names: a call into one of them explains frames that
// no call in the code leads to, and a call to a raising one is where an exception came from.
#include <string_view>
#include <vector>

#include "FunctionEnvironment.h"
#include "StackSeams.h"

enum class TRuntimeRole : uint8_t {
    None,
    // An exception starts with a call to it, which never returns.
    Raises,
    // It dispatches an exception or a message, runs a handler or cleans up: the code it reaches
    // is called from inside it or from a routine of the system it calls.
    Dispatches,
};

// The role a function of this name plays; C++ names may carry their parameter lists.
TRuntimeRole RuntimeRoleOf(std::u16string_view name);

class TKnownRuntime {
public:
    void Add(CodeAddress start, TRuntimeRole role);
    bool Raises(CodeAddress start) const;
    // Any role.
    bool IsRoutine(CodeAddress start) const;
    const std::vector<CodeAddress>& Routines() const { return routines_; }
    // What the function walk is told: the raising routines end the code before them.
    const TRuntimeRoutines& ForWalk() const { return walk_; }

private:
    std::vector<CodeAddress> routines_; // sorted
    TRuntimeRoutines walk_;
};

// Every routine with a role among the functions the namer knows.
TKnownRuntime FindKnownRuntime(const ICodeNamer& namer);
