#pragma once

#include "FunctionEnvironment.h"
#include "FunctionInfo.h"

// A gap between parsed areas is parsed as code when it starts at most this far below the
// highest parsed address.
constexpr std::uint32_t kGapReach = 1023;
// Handler tables of more entries are not believed.
constexpr std::uint32_t kMaxHandlerEntries = 256;

// Walks the function at entry: its areas of code and tables, where it calls out, which
// branches cannot be followed, and whether its first bytes may be patched.
void ParseFunction(const IFunctionEnvironment& environment, CodeAddress entry, const TRuntimeRoutines& routines,
                   TFunctionInfo& info);

inline void ParseFunction(const IFunctionEnvironment& environment, CodeAddress entry, TFunctionInfo& info) {
  ParseFunction(environment, entry, TRuntimeRoutines{}, info);
}
