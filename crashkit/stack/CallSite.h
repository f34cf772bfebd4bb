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
    CodeAddress target = 0; // 0 when the operand is a register or memory
};

// The call instruction that ends exactly at value, decoded from value - 7 to value - 2.
std::optional<TVerifiedCall> VerifyCall(const ICodeReader& code, CodeAddress value);

// Whether a routine of this name raises exceptions, so that a return address behind a call to
// it is where the exception was raised.
bool IsRaisingRoutineName(const UnicodeString& name);

// Whether an instruction of the walked function starts at address: decoded from the start of
// the code area that holds it. Table areas hold no instructions.
bool IsInstructionBoundary(const ICodeReader& code, const TFunctionInfo& function, CodeAddress address);

// A call target that is only a jump (an import thunk) leads to the jump's known target.
CodeAddress ResolveThunk(const ICodeReader& code, CodeAddress target);
