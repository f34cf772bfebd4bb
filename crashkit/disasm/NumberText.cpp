#include "NumberText.h"

namespace {

constexpr char kDigits[] = "0123456789abcdef";

std::string HexDigits(std::uint64_t value, unsigned minimumDigits) {
  char buffer[16];
  unsigned count = 0;
  do {
    buffer[count++] = kDigits[value & 15];
    value >>= 4;
  } while (value != 0 || count < minimumDigits);
  return std::string(std::rbegin(buffer) + (16 - count), std::rend(buffer));
}

}  // namespace

namespace NumberText {

std::string Hex(std::uint32_t value) { return HexDigits(value, 1); }

std::string Hex8(std::uint32_t value) { return HexDigits(value, 8); }

std::string Operand(std::int64_t value) {
  if (value >= -9 && value <= 9) return std::to_string(value);
  // Appended to the sign: GCC 12 reports a false overlap for a literal put in front of a temporary.
  std::string text = value < 0 ? "-$" : "$";
  text += HexDigits(value < 0 ? static_cast<std::uint64_t>(-value) : static_cast<std::uint64_t>(value), 1);
  return text;
}

std::string SignedOffset(std::int64_t value) {
  if (value < 0) return Operand(value);
  std::string text = "+";
  text += Operand(value);
  return text;
}

}  // namespace NumberText
