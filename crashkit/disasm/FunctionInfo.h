#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "InstructionInfo.h"

// A run of code (or a table) of a function, as the walk found it.
struct TFunctionArea {
  CodeAddress start = 0;
  CodeAddress end = 0;  // inclusive
  bool isCaseTable = false;
  bool isHandlerTable = false;
  CodeAddress origin = 0;      // the instruction that led here; 0 for the entry
  TRegisterValues registers;   // known values at the start
};

// A call or jump that leaves the function.
struct TOutsideCall {
  bool isCall = false;
  CodeAddress start = 0;
  CodeAddress next = 0;
  CodeAddress target = 0;  // an import thunk resolved to the routine behind it
  bool relativeTarget = false;
  CodeAddress displacementAt = 0;
  CodeAddress pointerCell = 0;
};

// A call or jump whose target cannot be known.
struct TUnresolvedBranch {
  bool isCall = false;
  CodeAddress start = 0;
  CodeAddress next = 0;
};

// What a code copier needs to size its buffer.
struct TCopyInfo {
  bool walked = false;          // set at the start of a walk
  std::uint32_t copySize = 0;   // code size + 4, plus 4 for each outside call through a cell
};

constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorInvalidCode = 0x770001;
inline constexpr const char* kInvalidCodeText = "Invalid code!";

struct TFunctionInfo {
  bool valid = false;
  CodeAddress entry = 0;
  CodeAddress lowAddress = 0;
  std::uint32_t codeSize = 0;
  CodeAddress errorAddress = 0;
  std::uint32_t errorCode = 0;
  std::string errorText;
  std::vector<TFunctionArea> areas;
  std::vector<TOutsideCall> outsideCalls;
  std::vector<TUnresolvedBranch> unresolvedBranches;
  bool patchable = false;
  TCopyInfo copyInfo;
};
