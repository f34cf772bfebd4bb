#pragma once

#include <cstdint>
#include <string_view>

#include "CodeReader.h"
#include "InstructionInfo.h"
#include "OpcodeTables.h"

// x86 instructions are at most 15 bytes long.
constexpr unsigned kMaxInstructionLength = 15;

enum Segment : std::int8_t { kNoSegment = -1, kEs, kCs, kSs, kDs, kFs, kGs };

// A ModRM memory operand. With 16-bit addressing, base and index name 16-bit registers.
struct TMemoryOperand {
  std::int8_t base = -1;
  std::int8_t index = -1;
  std::uint8_t scale = 1;
  std::int32_t displacement = 0;
  std::uint8_t displacementSize = 0;  // 0, 1, 2 or 4 bytes
};

// One decoded instruction: the record for the callers plus what the text needs.
struct TDecodedInstruction {
  TInstructionInfo info;
  std::uint8_t length = 0;
  bool lock = false;
  bool rep = false;    // F3 as a prefix, not as a mandatory SSE prefix
  bool repne = false;  // F2 likewise
  bool operandSize16 = false;
  bool addressSize16 = false;
  std::int8_t segment = kNoSegment;
  std::uint8_t prefixSlot = 0;  // mandatory prefix of an SSE row: 0 none, 1 66, 2 F3, 3 F2
  bool xmmForm = false;         // MMX operands widened to XMM by the 66 slot
  std::uint16_t encoding = kInvalidEncoding;
  std::string_view mnemonic;    // as stored: without "f", with "%cc", "PS" and "S"
  bool hasModRm = false;
  std::uint8_t mod = 0, reg = 0, rm = 0;
  TMemoryOperand memory;
  std::uint32_t immediate = 0;
  std::uint8_t immediateSize = 0;
  std::uint32_t immediate2 = 0;  // the selector of a far pointer, the level of enter

  bool IsX87() const { return info.opcode >= 0xD8 && info.opcode <= 0xDF; }
  bool HasRegisterOperand() const { return hasModRm && mod == 3; }
};

// ret and iret: the flow of code ends.
inline bool IsReturn(std::uint16_t opcode) {
  return opcode == 0xC2 || opcode == 0xC3 || opcode == 0xCA || opcode == 0xCB || opcode == 0xCF;
}

// jmp in all its forms: the flow of code goes elsewhere.
inline bool IsUnconditionalJump(const TDecodedInstruction& in) {
  const std::uint16_t opcode = in.info.opcode;
  return opcode == 0xE9 || opcode == 0xEA || opcode == 0xEB || (opcode == 0xFF && (in.reg == 4 || in.reg == 5));
}

// Decodes the instruction at address. With registers, their known values resolve indirect
// branches and are updated by what the instruction writes.
TDecodedInstruction DecodeInstruction(const ICodeReader& reader, CodeAddress address,
                                      TRegisterValues* registers = nullptr);

// The record of the instruction at address.
TInstructionInfo ParseCode(const ICodeReader& reader, CodeAddress address);
