#pragma once

#include <array>
#include <cstdint>

#include "CodeReader.h"

// What the stack tracer and the function walk need to know of one instruction.
struct TInstructionInfo {
  bool valid = false;               // the opcode is known
  std::uint16_t opcode = 0;         // 0x0F00 + second byte for the 0F map
  std::uint8_t modRm = 0;           // when the opcode has one
  bool isCall = false;              // E8, 9A, FF /2, FF /3
  bool isJump = false;              // any other relative branch, EA, FF /4, FF /5
  bool relativeTarget = false;      // the target is a displacement inside the instruction
  CodeAddress target = 0;           // 0 when it cannot be known
  CodeAddress displacementAt = 0;   // relative branch: where its displacement lies
  CodeAddress pointerCell = 0;      // indirect branch through memory: the pointer's address
  std::uint32_t targetSize = 0;     // displacement size, or 4 for a pointer cell
  bool canWiden = false;            // may be rewritten with a 32-bit displacement
  CodeAddress start = 0;
  CodeAddress next = 0;
};

// Known values of eax, ecx, edx, ebx, esp, ebp, esi, edi (the ModRM register order); 0 = unknown.
struct TRegisterValues {
  std::array<std::uint32_t, 8> value{};

  bool operator==(const TRegisterValues&) const = default;
};

enum Register : std::uint8_t { kEax, kEcx, kEdx, kEbx, kEsp, kEbp, kEsi, kEdi };
