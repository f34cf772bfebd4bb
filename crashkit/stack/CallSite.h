#pragma once
// Whether a stack value is the return address of a call: the quick test of the 8 bytes before
// it, and the verification that decodes the call ending there.
#include <array>
#include <cstdint>
#include <optional>

#include "CodeReader.h"
#include "FunctionInfo.h"
#include "text/ZelTypes.h"

// b[0..7] are the bytes at value - 8 .. value - 1: a direct, register, memory or far call may end
// at value.
bool EndsInCall(const std::array<uint8_t, 8>& bytes);

struct TVerifiedCall {
    CodeAddress start = 0;
    // The routine called directly or through a pointer cell (as the cell holds it now); 0 when
    // the operand is a register or other memory.
    CodeAddress target = 0;
};

// The call instruction that ends exactly at value, decoded from value - 7 to value - 2.
std::optional<TVerifiedCall> VerifyCall(const ICodeReader& code, CodeAddress value);

// The walked function's call that returns to value: one that leaves it (its target an import
// thunk's routine) or one whose target cannot be known.
std::optional<TVerifiedCall> WalkedCallAt(const TFunctionInfo& function, CodeAddress value);

// Whether the walk of the function reached the address as code.
bool InWalkedCode(const TFunctionInfo& function, CodeAddress address);

// Whether an instruction of the walked function starts at address: decoded from the start of
// the code area that holds it. Table areas hold no instructions.
bool IsInstructionBoundary(const ICodeReader& code, const TFunctionInfo& function, CodeAddress address);

// A call target that is only a jump (an import thunk) leads to the jump's known target.
CodeAddress ResolveThunk(const ICodeReader& code, CodeAddress target);
