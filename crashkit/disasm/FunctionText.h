#pragma once

#include <cstdint>
#include <string>

#include "FunctionEnvironment.h"
#include "FunctionInfo.h"

// Comments start after the line is padded to this width.
constexpr std::size_t kCommentColumn = 40;
inline constexpr const char* kSeparatorLine = "; ---------------------------------------------------------";
inline constexpr const char* kCutMark = "[...]";
inline constexpr const char* kPlacingError =
    "Internal error in ParseFunction while composing the disassembling string...  :-(";

struct TDisAsmOptions {
  CodeAddress crashAddress = 0;
  std::uint32_t maxLines = 5;  // 0 = no limit
  bool formatted = false;      // labels and separators
  TRuntimeRoutines routines;
};

// The Intel-syntax text of the function at address, lines joined by CR LF; empty when the
// walk fails. info receives what the walk found.
std::string DisAsmFunction(const IFunctionEnvironment& environment, const ISymbolSource& symbols,
                           CodeAddress address, const TDisAsmOptions& options, TFunctionInfo& info);
