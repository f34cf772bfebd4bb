#pragma once
// A raise address may lie 4 bytes short of an instruction of its function: it is checked against
// the instructions that the walk of the function (named by the debug information) finds in the
// code area holding it, and moved on by 4 when only address + 4 starts one.
#include <cstdint>

#include "FunctionEnvironment.h"
#include "StackSeams.h"

// The address to report: address + 4 when the address starts no instruction of the function the
// namer finds for it and address + 4 does; the address otherwise (also when no function is found).
uintptr_t CheckedExceptionAddress(uintptr_t address, const ICodeNamer& namer, const IFunctionEnvironment& code);

// The same for this process's code. The walk reads 32-bit x86 code only: elsewhere the address
// stays as it is.
uintptr_t CheckedExceptionAddress(uintptr_t address);
