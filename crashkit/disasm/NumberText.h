#pragma once

#include <cstdint>
#include <string>

// Numbers as the disassembly writes them.
namespace NumberText {

// Lower-case hexadecimal without leading zeros ("0" for 0).
std::string Hex(std::uint32_t value);
// Lower-case hexadecimal, 8 digits.
std::string Hex8(std::uint32_t value);
// -9 to 9 in decimal, others "$" + hexadecimal, negative ones "-$" + the magnitude.
std::string Operand(std::int64_t value);
// As Operand, with "+" in front of a value that is not negative.
std::string SignedOffset(std::int64_t value);

}  // namespace NumberText
