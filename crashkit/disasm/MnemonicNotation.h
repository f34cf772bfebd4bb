#pragma once

#include <string_view>

// Reads the mnemonic notation of the opcode tables (see OpcodeTables.h).
namespace MnemonicNotation {

// The row chooses among alternatives by operand size or mandatory prefix.
bool HasAlternatives(std::string_view notation);

// The name for one instruction; empty when the slot holds no instruction.
std::string_view Select(std::string_view notation, bool hasModRm, bool isX87, unsigned reg,
                        bool registerForm, unsigned rm, unsigned alternative);

}  // namespace MnemonicNotation
