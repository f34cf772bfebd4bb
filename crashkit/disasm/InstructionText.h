#pragma once

#include <functional>
#include <string>

#include "InstructionDecoder.h"

// Names a branch target (a label of the function); empty for the plain form.
using TBranchLabeler = std::function<std::string(CodeAddress target)>;

// The Intel-syntax text of a valid instruction: prefix words, mnemonic and operands, e.g.
// "mov eax, dword ptr [ebp-$1c]" or "jz -$12 ($401000)".
std::string InstructionText(const TDecodedInstruction& instruction, const TBranchLabeler& labeler = {});

// The line body of a byte that cannot be decoded: "db" and two hex digits.
std::string DataByteText(std::uint8_t byte);
