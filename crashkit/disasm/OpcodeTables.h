#pragma once

#include <array>
#include <cstdint>

// The decoder's read-only tables, built from the IA-32 opcode maps.
//
// Each opcode has a 16-bit operand-encoding word:
//   bits 3-5   ModRM form: 0 none, 1 look up the ModRM groups table, else the kind of the
//              ModRM operand (2 byte, 3 word, 4 operand size, 5 dword, 6 MMX, 7 XMM/other)
//   bits 10-11 immediate size: 1 one byte, 2 two bytes, 3 the operand size
//   bit 12     the immediate is a relative branch displacement
//   bits 13-15 the registers the instruction writes (see kWrites*)
//   bits 0-2 and 6-9 together: the operand kind, an index into kOperandKinds (low three
//              bits in 0-2, high four in 6-9)
// 0xFFFF marks an invalid opcode.
//
// Mnemonic notation: "|" separates names chosen by ModRM.reg (16 for x87: memory forms, then
// register forms), ":" the register form from the memory form, "-" x87 register forms chosen
// by ModRM.rm, "/" names chosen by operand size (one-byte map: 32-bit/16-bit) or by mandatory
// prefix (0F map: none/66/F3/F2); "%cc" is the condition suffix, "%seg" the segment of the
// opcode; "PS" reads "ps" or "pd" and "S" "ss" or "sd" by the prefix; an empty name is no
// instruction; x87 names lack their leading "f".

constexpr std::uint16_t kInvalidEncoding = 0xFFFF;

constexpr std::uint16_t kFormMask = 0x38;
constexpr std::uint16_t kFormGroup = 1;
constexpr std::uint16_t kImmediateMask = 0xC00;
constexpr std::uint16_t kRelative = 0x1000;
constexpr std::uint16_t kWritesMask = 0xE000;
constexpr std::uint16_t kWritesReg = 0x2000;
constexpr std::uint16_t kWritesRm = 0x4000;
constexpr std::uint16_t kWritesOpcodeReg = 0x6000;
constexpr std::uint16_t kWritesEax = 0x8000;
constexpr std::uint16_t kWritesRegRm = 0xA000;
constexpr std::uint16_t kWritesEaxRm = 0xC000;
constexpr std::uint16_t kWritesEaxOpcodeReg = 0xE000;

constexpr unsigned FormOf(std::uint16_t encoding) { return (encoding & kFormMask) >> 3; }
constexpr unsigned ImmediateCodeOf(std::uint16_t encoding) { return (encoding & kImmediateMask) >> 10; }
constexpr unsigned KindOf(std::uint16_t encoding) { return (encoding & 7) | ((encoding >> 3) & 0x78); }

// One operand as the IA-32 opcode maps name it.
enum class Arg : std::uint8_t {
  None,
  // ModRM.rm: register or memory of a size
  Eb, Ew, Ev, Ed, Esw,  // Esw: a register of the operand size, or a word in memory
  // ModRM.rm: memory only
  M, Mb, Mw, Md, Mq, Mt, Mp, Ma, Mo,
  // ModRM.rm: MMX / XMM register or memory
  Qq, Qd, Nq, Wo, Wq, Wd, Wps, Uo, Rd,
  // ModRM.reg
  Gb, Gw, Gv, Gd, Sw, Cd, Dd, Pq, Vo,
  // immediates and addresses in the instruction
  Imm,  // as pushed: one byte sign-extended, else as stored
  Ib, Ibs, Iw, Iv, Ap, Ob, Ov, Ib2,
  // fixed operands
  AL, eAX, AX, CL, DX, One, ST0, STi, Zb, Zv, Seg,
  Xb, Xv, Yb, Yv, Xlat,
};

struct TOperandKind {
  Arg first = Arg::None;
  Arg second = Arg::None;
  Arg third = Arg::None;
};

// Operand kinds by their index in the encoding word; 28, 44, 48 and 65 give the encoding words
// of 8B, 0F B6, FF and 00 that callers know.
enum Kind : std::uint8_t {
  kImmOnly = 0,  // the immediate as pushed, or the relative target
  kEvGv = 1, kGbEb = 2, kALIb = 3, keAXIv = 4, kSeg = 5, kZv = 6,
  kGvMa = 7, kEwGw = 8, kGvEvIv = 9, kGvEvIbs = 10, kYbDX = 11, kYvDX = 12,
  kDXXb = 13, kDXXv = 14, kEbIb = 15, kEvIv = 16, kEvIbs = 17, kEswSw = 18,
  kSwEsw = 19, kZveAX = 20, kAp = 21, kALOb = 22, keAXOv = 23, kObAL = 24,
  kOveAX = 25, kYbXb = 26, kYvXv = 27, kGvEv = 28, kXbYb = 29, kXvYv = 30,
  kYbAL = 31, kYveAX = 32, kALXb = 33, keAXXv = 34, kALYb = 35, keAXYv = 36,
  kZbIb = 37, kZvIv = 38, kEvIb = 39, kGvMp = 40, kEnter = 41, kIb = 42,
  kEbOne = 43, kGvEb = 44, kEvOne = 45, kEbCL = 46, kEvCL = 47, kEv = 48,
  kXlat = 49, keAXIb = 50, kIbAL = 51, kIbeAX = 52, kALDX = 53, keAXDX = 54,
  kDXAL = 55, kDXeAX = 56, kEb = 57, kGvEw = 58, kRdCd = 59, kRdDd = 60,
  kCdRd = 61, kDdRd = 62, kVoWps = 63, kWpsVo = 64, kEbGb = 65, kPqQq = 66,
  kPqQd = 67, kMqVo = 68, kVoWq = 69, kWqVo = 70, kVoQq = 71, kPqWq = 72,
  kGdWd = 73, kGdWq = 74, kMoVo = 75, kVoWd = 76, kVoEd = 77, kPqEd = 78,
  kEdPq = 79, kEdVo = 80, kQqPq = 81, kWoVo = 82, kVoWo = 83, kPqQqIb = 84,
  kNqIb = 85, kEvGvIb = 86, kEvGvCL = 87, kVoWpsIb = 88, kMdGd = 89, kPqEswIb = 90,
  kGdNqIb = 91, kGdNq = 92, kGdUo = 93, kMqPq = 94, kPqNq = 95, kPqUo = 96,
  kVoNq = 97, kVoMo = 98, kMd = 99, kMq = 100, kMw = 101, kMt = 102,
  kM = 103, kST0STi = 104, kSTiST0 = 105, kSTi = 106, kAX = 107, kMb = 108,
  kEw = 109, kPqWo = 110, kGvEsw = 111,
};

extern const std::array<TOperandKind, 128> kOperandKinds;

struct TOpcodeRow {
  std::uint16_t encoding;
  const char* mnemonic;
};

extern const std::array<TOpcodeRow, 256> kOneByteMap;
extern const std::array<TOpcodeRow, 256> kTwoByteMap;

// ModRM groups: the opcode (0F xx as 0x0F00 + xx), the words of the memory forms by ModRM.reg,
// the words of the register forms by ModRM.reg.
struct TModRmGroup {
  std::uint16_t opcode;
  std::array<std::uint16_t, 8> memoryForms;
  std::array<std::uint16_t, 8> registerForms;
};

extern const std::array<TModRmGroup, 15> kModRmGroups;

// Rows of the 0F map whose operands change with the mandatory prefix (slot 1 66, 2 F3, 3 F2).
struct TPrefixedRow {
  std::uint8_t opcode;
  std::uint8_t slot;
  std::uint16_t encoding;
};

extern const std::array<TPrefixedRow, 24> kPrefixedRows;

// Names of the 3DNow! operations by the suffix byte; nullptr when none.
const char* ThreeDNowName(std::uint8_t suffix);

extern const std::array<const char*, 30> kRegisterNames;  // al..bh, ax..di, es..gs, eax..edi
extern const std::array<const char*, 16> kConditionSuffixes;

const TModRmGroup* FindModRmGroup(std::uint16_t opcode);
