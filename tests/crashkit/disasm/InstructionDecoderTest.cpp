#include "InstructionDecoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BufferCodeReader.h"
#include "InstructionText.h"

namespace {

constexpr CodeAddress kBase = 0x401000;

struct TCode {
  std::vector<std::uint8_t> bytes;
  CodeAddress base = kBase;

  TBufferCodeReader Reader() const { return TBufferCodeReader(bytes, base); }
};

TInstructionInfo Parse(std::vector<std::uint8_t> bytes) {
  const TCode code{std::move(bytes)};
  return ParseCode(code.Reader(), kBase);
}

TDecodedInstruction Decode(std::vector<std::uint8_t> bytes, TRegisterValues* registers = nullptr) {
  const TCode code{std::move(bytes)};
  return DecodeInstruction(code.Reader(), kBase, registers);
}

std::uint16_t Row(std::uint16_t opcode) {
  return opcode > 0xFF ? kTwoByteMap[opcode & 0xFF].encoding : kOneByteMap[opcode].encoding;
}

TEST(OpcodeTables, EncodingWordsThatCallersKnow) {
  EXPECT_EQ(0x1C00, Row(0xE8));
  EXPECT_EQ(0x1C00, Row(0xE9));
  EXPECT_EQ(0x1400, Row(0xEB));
  EXPECT_EQ(0x1400, Row(0x70));
  EXPECT_EQ(0x1400, Row(0xE0));
  EXPECT_EQ(0x0C00, Row(0x68));
  EXPECT_EQ(0x0400, Row(0x6A));
  EXPECT_EQ(0x0800, Row(0xC2));
  EXPECT_EQ(0x20E4, Row(0x8B));
  EXPECT_EQ(0x20E4, Row(0x8D));
  EXPECT_EQ(0x2154, Row(0x0FB6));
  EXPECT_EQ(0x4211, Row(0x00));
  EXPECT_EQ(0x4211, Row(0x88));
  EXPECT_EQ(0x0008, Row(0xF6));
  EXPECT_EQ(0x01A0, Row(0xFF));
  EXPECT_EQ(0xFFFF, Row(0x0F0B));
}

// A row that chooses by ModRM.reg names 8 slots (16 for x87); every ModRM group has its table.
TEST(OpcodeTables, EveryChoiceByModRmHasItsSlots) {
  for (const auto* map : {&kOneByteMap, &kTwoByteMap}) {
    for (unsigned opcode = 0; opcode < 256; ++opcode) {
      const TOpcodeRow& row = (*map)[opcode];
      const std::string name = row.mnemonic;
      const auto bars = std::count(name.begin(), name.end(), '|');
      const bool x87 = map == &kOneByteMap && opcode >= 0xD8 && opcode <= 0xDF;
      SCOPED_TRACE(testing::Message() << (map == &kTwoByteMap ? "0F " : "") << std::hex << opcode);
      EXPECT_TRUE(bars == 0 || bars == (x87 ? 15 : 7));
      if (bars != 0) {
        EXPECT_NE(0u, FormOf(row.encoding));
      }
      if (FormOf(row.encoding) == kFormGroup) {
        const std::uint16_t groupOpcode = static_cast<std::uint16_t>(map == &kTwoByteMap ? 0x0F00 | opcode : opcode);
        EXPECT_NE(nullptr, FindModRmGroup(groupOpcode));
      }
    }
  }
}

TEST(ParseCode, CallOfTheNextInstructionIsNoBranch) {
  const TInstructionInfo info = Parse({0xE8, 0, 0, 0, 0});
  EXPECT_TRUE(info.valid);
  EXPECT_EQ(0xE8, info.opcode);
  EXPECT_FALSE(info.isCall);
  EXPECT_FALSE(info.isJump);
  EXPECT_EQ(0u, info.target);
  EXPECT_EQ(0u, info.displacementAt);
  EXPECT_EQ(0u, info.targetSize);
  EXPECT_FALSE(info.canWiden);
  EXPECT_EQ(kBase + 5, info.next);
}

TEST(ParseCode, RowsWithoutInstructionAreInvalid) {
  EXPECT_FALSE(Parse({0x0F, 0x0B}).valid);
  EXPECT_EQ(0x0F0B, Parse({0x0F, 0x0B}).opcode);
  for (std::uint8_t second : {0x04, 0x0A, 0x0C, 0x24, 0x36, 0x38, 0x3A, 0x78, 0x7B, 0xA6, 0xB8, 0xB9, 0xFF})
    EXPECT_FALSE(Parse({0x0F, second, 0xC0, 0, 0, 0, 0}).valid) << std::hex << int(second);
  EXPECT_FALSE(Parse({0xF6, 0xC8, 0}).valid);   // F6 /1
  EXPECT_FALSE(Parse({0x8D, 0xC0}).valid);      // lea of a register
  EXPECT_FALSE(Parse({0xC4, 0xC0}).valid);      // les of a register
  EXPECT_FALSE(Parse({0xFF, 0xD8}).valid);      // far call through a register
  EXPECT_FALSE(Parse({0x0F, 0xC7, 0xC8}).valid);  // cmpxchg8b of a register
  EXPECT_FALSE(Parse({0x8E, 0xF0}).valid);      // no segment register 6
  EXPECT_FALSE(Parse({0x0F, 0x0F, 0xC1, 0x00}).valid);  // 3DNow! suffix without operation
}

TEST(ParseCode, RelativeBranches) {
  TInstructionInfo info = Parse({0xEB, 0x10});
  EXPECT_TRUE(info.isJump);
  EXPECT_FALSE(info.isCall);
  EXPECT_TRUE(info.relativeTarget);
  EXPECT_EQ(kBase + 0x12, info.target);
  EXPECT_EQ(kBase + 1, info.displacementAt);
  EXPECT_EQ(1u, info.targetSize);
  EXPECT_TRUE(info.canWiden);

  info = Parse({0x0F, 0x85, 0xF0, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(0x0F85, info.opcode);
  EXPECT_TRUE(info.isJump);
  EXPECT_EQ(kBase + 6 - 0x10, info.target);
  EXPECT_EQ(kBase + 2, info.displacementAt);
  EXPECT_EQ(4u, info.targetSize);

  info = Parse({0xE8, 0x00, 0x10, 0x00, 0x00});
  EXPECT_TRUE(info.isCall);
  EXPECT_FALSE(info.isJump);
  EXPECT_EQ(kBase + 0x1005, info.target);

  for (std::uint8_t loop : {0xE0, 0xE1, 0xE2, 0xE3}) {
    info = Parse({loop, 0x05});
    EXPECT_TRUE(info.isJump);
    EXPECT_FALSE(info.canWiden) << std::hex << int(loop);
  }
  // A 16-bit displacement jumps inside the first 64 KB.
  info = Parse({0x66, 0xE9, 0x00, 0x01});
  EXPECT_EQ(2u, info.targetSize);
  EXPECT_EQ((kBase + 4 + 0x100) & 0xFFFF, info.target);
}

TEST(ParseCode, IndirectBranchesThroughAPointerCell) {
  // call dword ptr [$401010] with the pointer $12345678 in the cell
  TCode code{{0xFF, 0x15, 0x10, 0x10, 0x40, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x78, 0x56, 0x34, 0x12}};
  TInstructionInfo info = ParseCode(code.Reader(), kBase);
  EXPECT_TRUE(info.isCall);
  EXPECT_FALSE(info.relativeTarget);
  EXPECT_EQ(0x401010u, info.pointerCell);
  EXPECT_EQ(0x12345678u, info.target);
  EXPECT_EQ(4u, info.targetSize);
  EXPECT_TRUE(info.canWiden);

  // jmp dword ptr [$500000]: the cell cannot be read, so the target is unknown
  info = Parse({0xFF, 0x25, 0x00, 0x00, 0x50, 0x00});
  EXPECT_TRUE(info.isJump);
  EXPECT_EQ(0x500000u, info.pointerCell);
  EXPECT_EQ(0u, info.target);

  // jmp eax and call dword ptr [eax] with eax known
  TRegisterValues registers;
  registers.value[kEax] = 0x401010;
  info = DecodeInstruction(code.Reader(), kBase, &registers).info;
  EXPECT_EQ(0x12345678u, info.target);
  TCode indirect{{0xFF, 0xE0, 0xFF, 0x10}};
  info = DecodeInstruction(indirect.Reader(), kBase, &registers).info;
  EXPECT_TRUE(info.isJump);
  EXPECT_EQ(0x401010u, info.target);
  EXPECT_EQ(0u, info.pointerCell);
  info = DecodeInstruction(indirect.Reader(), kBase + 2, &registers).info;
  EXPECT_TRUE(info.isCall);
  EXPECT_EQ(0x401010u, info.pointerCell);
  EXPECT_EQ(0u, info.target);  // the cell lies beyond the bytes
  EXPECT_TRUE(Parse({0x9A, 1, 2, 3, 4, 5, 6}).isCall);
  EXPECT_TRUE(Parse({0xEA, 1, 2, 3, 4, 5, 6}).isJump);
  EXPECT_EQ(7u, Parse({0xEA, 1, 2, 3, 4, 5, 6}).next - kBase);
}

TEST(ParseCode, Lengths) {
  struct {
    std::vector<std::uint8_t> bytes;
    unsigned length;
  } const cases[] = {
      {{0x55}, 1},
      {{0x8B, 0xEC}, 2},
      {{0x8B, 0x44, 0x24, 0x04}, 4},                  // SIB + disp8
      {{0x8B, 0x84, 0x24, 0, 1, 0, 0}, 7},            // SIB + disp32
      {{0x8B, 0x04, 0x25, 0, 0, 0, 0}, 7},            // SIB without base
      {{0x8B, 0x05, 0, 0, 0, 0}, 6},                  // disp32 only
      {{0x67, 0x8B, 0x46, 0x02}, 4},                  // [bp+2]
      {{0x67, 0x8B, 0x06, 0x34, 0x12}, 5},            // [$1234]
      {{0x67, 0x8B, 0x86, 0x34, 0x12}, 5},            // [bp+$1234]
      {{0x66, 0xB8, 0x34, 0x12}, 4},
      {{0x66, 0x68, 0x34, 0x12}, 4},
      {{0xC7, 0x45, 0xFC, 1, 0, 0, 0}, 7},
      {{0x66, 0xC7, 0x45, 0xFC, 1, 0}, 6},
      {{0xF6, 0x45, 0x08, 0x01}, 4},                  // test has an immediate
      {{0xF6, 0x5D, 0x08}, 3},                        // neg has none
      {{0xF7, 0xC1, 1, 0, 0, 0}, 6},
      {{0xA1, 0, 0, 0, 0}, 5},
      {{0x67, 0xA1, 0, 0}, 4},
      {{0xC8, 0x10, 0x00, 0x01}, 4},
      {{0x9A, 1, 2, 3, 4, 5, 6}, 7},
      {{0x66, 0x9A, 1, 2, 3, 4}, 6},
      {{0x0F, 0x0F, 0xC1, 0xBF}, 4},                  // pavgusb
      {{0x66, 0x0F, 0x70, 0xC1, 0x1B}, 5},            // pshufd
      {{0xF2, 0x0F, 0x10, 0x44, 0x24, 0x08}, 6},      // movsd
      {{0xDD, 0x9C, 0x24, 0, 1, 0, 0}, 7},            // fstp qword ptr [esp+$100]
      {{0x0F, 0x20, 0xC0}, 3},                        // mov eax, cr0 whatever the mod
      {{0x0F, 0x20, 0x05}, 3},
      {{0x0F, 0xBA, 0xE0, 0x05}, 4},
      {{0x0F, 0xA4, 0xC8, 0x05}, 4},
  };
  for (const auto& c : cases) {
    const TInstructionInfo info = Parse(c.bytes);
    EXPECT_TRUE(info.valid) << InstructionText(Decode(c.bytes));
    EXPECT_EQ(c.length, info.next - info.start) << InstructionText(Decode(c.bytes));
  }
}

TEST(ParseCode, AnInstructionIsAtMost15Bytes) {
  std::vector<std::uint8_t> prefixed(15, 0x66);
  prefixed.back() = 0x90;
  EXPECT_TRUE(Parse(prefixed).valid);
  prefixed.push_back(0x90);
  prefixed.front() = 0x66;
  prefixed[14] = 0x66;
  EXPECT_FALSE(Parse(prefixed).valid);
  const std::vector<std::uint8_t> tooLong = {0x3E, 0x3E, 0x3E, 0x3E, 0x3E, 0x3E, 0x3E, 0x3E, 0x3E, 0x3E, 0x3E,
                                             0xC7, 0x05, 0, 0, 0, 0, 1, 0, 0, 0};  // 11 + 10 bytes
  EXPECT_FALSE(Parse(tooLong).valid);
  EXPECT_LE(Parse(tooLong).next - kBase, kMaxInstructionLength);
}

// Every byte comes through the reader: an instruction that runs into unreadable memory is invalid.
TEST(ParseCode, ReadsOnlyWhatTheReaderGives) {
  EXPECT_FALSE(Parse({0xE8, 0x00, 0x10}).valid);
  EXPECT_FALSE(Parse({0x8B}).valid);
  EXPECT_FALSE(Parse({0x0F}).valid);
  EXPECT_FALSE(Parse({}).valid);
  EXPECT_EQ(kBase + 1, Parse({}).next);
  EXPECT_TRUE(Parse({0xC3}).valid);
}

TEST(ParseCode, KnownRegisterValues) {
  TRegisterValues registers;
  Decode({0xB8, 0x78, 0x56, 0x34, 0x12}, &registers);  // mov eax, $12345678
  EXPECT_EQ(0x12345678u, registers.value[kEax]);
  Decode({0x8B, 0xC8}, &registers);                    // mov ecx, eax
  EXPECT_EQ(0x12345678u, registers.value[kEcx]);
  Decode({0xC7, 0xC2, 0x10, 0, 0, 0}, &registers);     // mov edx, $10
  EXPECT_EQ(0x10u, registers.value[kEdx]);
  Decode({0x83, 0xF9, 0x05}, &registers);              // cmp ecx, 5 keeps it
  EXPECT_EQ(0x12345678u, registers.value[kEcx]);
  Decode({0x83, 0xC1, 0x05}, &registers);              // add ecx, 5 forgets it
  EXPECT_EQ(0u, registers.value[kEcx]);
  Decode({0x99}, &registers);                          // cdq
  EXPECT_EQ(0u, registers.value[kEdx]);
  registers.value[kEsp] = 0x1000;
  Decode({0xB4, 0x01}, &registers);                    // mov ah, 1 changes eax, not esp
  EXPECT_EQ(0x1000u, registers.value[kEsp]);
  EXPECT_EQ(0u, registers.value[kEax]);
  registers.value[kEbx] = registers.value[kEcx] = 7;
  Decode({0x66, 0xB9, 0x01, 0x00}, &registers);        // mov cx, 1: 16 bits set nothing
  EXPECT_EQ(0u, registers.value[kEcx]);
  Decode({0xFF, 0xC3}, &registers);                    // inc ebx
  EXPECT_EQ(0u, registers.value[kEbx]);
  registers.value = {1, 2, 3, 4, 5, 6, 7, 8};
  Decode({0x61}, &registers);                          // popad
  EXPECT_EQ(TRegisterValues{}, registers);
  registers.value = {1, 2, 3, 4, 5, 6, 7, 8};
  Decode({0xF3, 0xAB}, &registers);                    // rep stosd: edi and ecx
  EXPECT_EQ(0u, registers.value[kEdi]);
  EXPECT_EQ(0u, registers.value[kEcx]);
  EXPECT_EQ(7u, registers.value[kEsi]);
  Decode({0x0F, 0xA2}, &registers);                    // cpuid
  EXPECT_EQ((TRegisterValues{{0, 0, 0, 0, 5, 6, 7, 0}}), registers);
  Decode({0xC9}, &registers);                          // leave
  EXPECT_EQ(0u, registers.value[kEbp]);
  Decode({0xDF, 0xE0}, &registers);                    // fnstsw ax
  registers.value[kEax] = 9;
  Decode({0xDF, 0xE0}, &registers);
  EXPECT_EQ(0u, registers.value[kEax]);
}

}  // namespace
