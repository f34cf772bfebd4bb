#include "InstructionDecoder.h"

#include <algorithm>
#include <array>

#include "MnemonicNotation.h"

namespace {

// The bytes of one instruction, fetched through the reader: as many of the first 15 as are
// readable.
class TInstructionBytes {
 public:
  TInstructionBytes(const ICodeReader& reader, CodeAddress start) {
    if (reader.Read(start, bytes_.data(), bytes_.size())) {
      available_ = bytes_.size();
      return;
    }
    while (available_ < bytes_.size() &&
           reader.Read(static_cast<CodeAddress>(start + available_), &bytes_[available_], 1))
      ++available_;
  }

  bool Exhausted() const { return failed_; }
  unsigned Position() const { return position_; }

  std::uint8_t Peek() const { return position_ < available_ ? bytes_[position_] : 0; }

  std::uint32_t Take(unsigned count) {
    std::uint32_t value = 0;
    for (unsigned i = 0; i < count; ++i) {
      if (position_ >= available_) {
        failed_ = true;
        return value;
      }
      value |= static_cast<std::uint32_t>(bytes_[position_++]) << (8 * i);
    }
    return value;
  }

 private:
  std::array<std::uint8_t, kMaxInstructionLength> bytes_{};
  std::size_t available_ = 0;
  unsigned position_ = 0;
  bool failed_ = false;
};

std::int32_t SignExtend(std::uint32_t value, unsigned size) {
  switch (size) {
    case 1: return static_cast<std::int8_t>(value);
    case 2: return static_cast<std::int16_t>(value);
    default: return static_cast<std::int32_t>(value);
  }
}

bool IsMemoryOnly(Arg arg) {
  switch (arg) {
    case Arg::M: case Arg::Mb: case Arg::Mw: case Arg::Md: case Arg::Mq: case Arg::Mt:
    case Arg::Mp: case Arg::Ma: case Arg::Mo:
      return true;
    default:
      return false;
  }
}

bool IsRegisterOnly(Arg arg) { return arg == Arg::Nq || arg == Arg::Uo; }

bool KindHas(const TOperandKind& kind, Arg arg) {
  return kind.first == arg || kind.second == arg || kind.third == arg;
}

template <typename Predicate>
bool KindAny(const TOperandKind& kind, Predicate predicate) {
  return predicate(kind.first) || predicate(kind.second) || predicate(kind.third);
}

void ReadPrefixes(TInstructionBytes& bytes, TDecodedInstruction& out, std::uint8_t& lastRep,
                  bool& saw66) {
  for (;;) {
    const std::uint8_t byte = bytes.Peek();
    switch (byte) {
      case 0xF0: out.lock = true; break;
      case 0xF2: case 0xF3: lastRep = byte; break;
      case 0x66: saw66 = true; break;
      case 0x67: out.addressSize16 = true; break;
      case 0x26: out.segment = kEs; break;
      case 0x2E: out.segment = kCs; break;
      case 0x36: out.segment = kSs; break;
      case 0x3E: out.segment = kDs; break;
      case 0x64: out.segment = kFs; break;
      case 0x65: out.segment = kGs; break;
      default: return;
    }
    bytes.Take(1);
    if (bytes.Position() >= kMaxInstructionLength) return;
  }
}

void DecodeModRm(TInstructionBytes& bytes, TDecodedInstruction& out, bool forceRegister) {
  const std::uint8_t modRm = static_cast<std::uint8_t>(bytes.Take(1));
  out.hasModRm = true;
  out.info.modRm = modRm;
  out.mod = forceRegister ? 3 : modRm >> 6;
  out.reg = (modRm >> 3) & 7;
  out.rm = modRm & 7;
  if (out.mod == 3) return;
  TMemoryOperand& memory = out.memory;
  if (out.addressSize16) {
    static constexpr std::int8_t kBase[8] = {kEbx, kEbx, kEbp, kEbp, kEsi, kEdi, kEbp, kEbx};
    static constexpr std::int8_t kIndex[8] = {kEsi, kEdi, kEsi, kEdi, -1, -1, -1, -1};
    memory.base = kBase[out.rm];
    memory.index = kIndex[out.rm];
    if (out.mod == 0 && out.rm == 6) {
      memory.base = -1;
      memory.displacementSize = 2;
    }
    if (out.mod == 1) memory.displacementSize = 1;
    if (out.mod == 2) memory.displacementSize = 2;
  } else {
    memory.base = static_cast<std::int8_t>(out.rm);
    if (out.rm == 4) {
      const std::uint8_t sib = static_cast<std::uint8_t>(bytes.Take(1));
      memory.scale = static_cast<std::uint8_t>(1 << (sib >> 6));
      const std::uint8_t index = (sib >> 3) & 7;
      memory.index = index == 4 ? -1 : static_cast<std::int8_t>(index);
      memory.base = static_cast<std::int8_t>(sib & 7);
    }
    if (out.mod == 0 && memory.base == kEbp) {
      memory.base = -1;
      memory.displacementSize = 4;
    }
    if (out.mod == 1) memory.displacementSize = 1;
    if (out.mod == 2) memory.displacementSize = 4;
  }
  memory.displacement = SignExtend(bytes.Take(memory.displacementSize), memory.displacementSize);
}

// The mandatory-prefix slot of an SSE row; the prefix it uses no longer acts as one.
void ChoosePrefixSlot(TDecodedInstruction& out, std::uint8_t lastRep, bool& saw66) {
  if (lastRep == 0xF3) {
    out.prefixSlot = 2;
  } else if (lastRep == 0xF2) {
    out.prefixSlot = 3;
  } else if (saw66) {
    out.prefixSlot = 1;
    saw66 = false;
  }
  out.rep = out.repne = false;
}

std::uint16_t PrefixedEncoding(std::uint8_t opcode, std::uint8_t slot, std::uint16_t encoding) {
  for (const TPrefixedRow& row : kPrefixedRows)
    if (row.slot != 0 && row.opcode == opcode && row.slot == slot) return row.encoding;
  return encoding;
}

unsigned ImmediateSize(const TDecodedInstruction& out, unsigned operandSize) {
  switch (ImmediateCodeOf(out.encoding)) {
    case 1: return 1;
    case 2: return 2;
    case 3: return operandSize;
    default: break;
  }
  if (out.info.opcode == 0xA0 || out.info.opcode == 0xA1 || out.info.opcode == 0xA2 || out.info.opcode == 0xA3)
    return out.addressSize16 ? 2 : 4;
  return 0;
}

bool IsFarPointerOpcode(std::uint16_t opcode) { return opcode == 0x9A || opcode == 0xEA; }

void ReadImmediates(TInstructionBytes& bytes, TDecodedInstruction& out, unsigned operandSize) {
  if (IsFarPointerOpcode(out.info.opcode)) {
    out.immediateSize = static_cast<std::uint8_t>(operandSize);
    out.immediate = bytes.Take(operandSize);
    out.immediate2 = bytes.Take(2);
    return;
  }
  if (out.info.opcode == 0xC8) {
    out.immediateSize = 2;
    out.immediate = bytes.Take(2);
    out.immediate2 = bytes.Take(1);
    return;
  }
  out.immediateSize = static_cast<std::uint8_t>(ImmediateSize(out, operandSize));
  out.immediate = bytes.Take(out.immediateSize);
}

void SetRelativeBranch(TDecodedInstruction& out, CodeAddress displacementAt) {
  TInstructionInfo& info = out.info;
  info.relativeTarget = true;
  info.displacementAt = displacementAt;
  info.targetSize = out.immediateSize;
  CodeAddress target = info.next + static_cast<CodeAddress>(SignExtend(out.immediate, out.immediateSize));
  if (out.operandSize16 && out.immediateSize == 2) target &= 0xFFFF;
  info.target = target;
  info.canWiden = !(info.opcode >= 0xE0 && info.opcode <= 0xE3);
  if (info.opcode == 0xE8)
    info.isCall = true;
  else
    info.isJump = true;
}

void SetIndirectBranch(TDecodedInstruction& out, const ICodeReader& reader, const TRegisterValues* registers) {
  TInstructionInfo& info = out.info;
  info.isCall = out.reg == 2 || out.reg == 3;
  info.isJump = !info.isCall;
  if (out.mod == 3) {
    if (registers) info.target = registers->value[out.rm];
    return;
  }
  const TMemoryOperand& memory = out.memory;
  CodeAddress cell = 0;
  if (!out.addressSize16 && memory.base < 0 && memory.index < 0)
    cell = static_cast<CodeAddress>(memory.displacement);
  else if (!out.addressSize16 && registers && memory.index < 0 && memory.displacementSize == 0)
    cell = registers->value[memory.base];
  if (cell == 0) return;
  info.pointerCell = cell;
  info.targetSize = 4;
  info.canWiden = true;
  info.target = ReadDword(reader, cell).value_or(0);
}

void SetBranch(TDecodedInstruction& out, const ICodeReader& reader, const TRegisterValues* registers,
               CodeAddress immediateAt) {
  TInstructionInfo& info = out.info;
  if (out.encoding & kRelative) {
    SetRelativeBranch(out, immediateAt);
  } else if (info.opcode == 0xFF && out.reg >= 2 && out.reg <= 5) {
    SetIndirectBranch(out, reader, registers);
  } else if (info.opcode == 0x9A) {
    info.isCall = true;
  } else if (info.opcode == 0xEA) {
    info.isJump = true;
  }
  // A call of the next instruction only pushes its address.
  if ((info.isCall || info.isJump) && info.target == info.next) {
    const CodeAddress start = info.start, next = info.next;
    const std::uint16_t opcode = info.opcode;
    const std::uint8_t modRm = info.modRm;
    info = TInstructionInfo{};
    info.valid = true;
    info.opcode = opcode;
    info.modRm = modRm;
    info.start = start;
    info.next = next;
  }
}

// The 32-bit register that holds a written operand: al..bh live in eax..ebx.
void Forget(TRegisterValues& registers, unsigned number, bool isByte) {
  registers.value[isByte ? number & 3 : number & 7] = 0;
}

void ForgetWrittenOperands(const TDecodedInstruction& out, TRegisterValues& registers) {
  const TOperandKind& kind = kOperandKinds[KindOf(out.encoding)];
  const bool rmIsByte = FormOf(out.encoding) == 2;
  const bool regIsByte = KindHas(kind, Arg::Gb);
  const bool opcodeRegIsByte = KindHas(kind, Arg::Zb);
  const unsigned opcodeRegister = out.info.opcode & 7;
  const auto forgetRm = [&] {
    if (out.HasRegisterOperand()) Forget(registers, out.rm, rmIsByte);
  };
  switch (out.encoding & kWritesMask) {
    case kWritesReg: Forget(registers, out.reg, regIsByte); break;
    case kWritesRm: forgetRm(); break;
    case kWritesOpcodeReg: Forget(registers, opcodeRegister, opcodeRegIsByte); break;
    case kWritesEax: registers.value[kEax] = 0; break;
    case kWritesRegRm: Forget(registers, out.reg, regIsByte); forgetRm(); break;
    case kWritesEaxRm: registers.value[kEax] = 0; forgetRm(); break;
    case kWritesEaxOpcodeReg: registers.value[kEax] = 0; Forget(registers, opcodeRegister, false); break;
    default: break;
  }
}

void ForgetImplicitOperands(const TDecodedInstruction& out, TRegisterValues& registers) {
  auto& value = registers.value;
  const std::uint16_t opcode = out.info.opcode;
  const bool registerOperand = out.HasRegisterOperand();
  switch (opcode) {
    case 0xC8: case 0xC9: value[kEbp] = 0; break;
    case 0xE0: case 0xE1: case 0xE2: value[kEcx] = 0; break;
    case 0x99: value[kEdx] = 0; break;
    case 0xA4: case 0xA5: case 0xA6: case 0xA7: value[kEsi] = value[kEdi] = 0; break;
    case 0xAA: case 0xAB: case 0xAE: case 0xAF: case 0x6C: case 0x6D: value[kEdi] = 0; break;
    case 0xAC: case 0xAD: case 0x6E: case 0x6F: value[kEsi] = 0; break;
    case 0x61: value = {}; break;
    case 0xF7: if (out.reg >= 4) value[kEdx] = 0; break;
    case 0x80: case 0x81: case 0x82: case 0x83:
      if (registerOperand && out.reg != 7) Forget(registers, out.rm, opcode == 0x80 || opcode == 0x82);
      break;
    case 0xFF: if (registerOperand && out.reg <= 1) value[out.rm] = 0; break;
    case 0x0FA2: value[kEax] = value[kEcx] = value[kEdx] = value[kEbx] = 0; break;
    case 0x0F31: case 0x0F32: case 0x0F33: case 0x0FC7: value[kEax] = value[kEdx] = 0; break;
    case 0x0FBA: if (registerOperand && out.reg >= 5) value[out.rm] = 0; break;
    default: break;
  }
  // String instructions with a repeat prefix count ecx down.
  const bool stringOp = (opcode >= 0xA4 && opcode <= 0xA7) || (opcode >= 0xAA && opcode <= 0xAF) ||
                        (opcode >= 0x6C && opcode <= 0x6F);
  if (stringOp && (out.rep || out.repne)) value[kEcx] = 0;
}

void TrackRegisters(const TDecodedInstruction& out, TRegisterValues& registers) {
  ForgetWrittenOperands(out, registers);
  ForgetImplicitOperands(out, registers);
  const std::uint16_t opcode = out.info.opcode;
  if (out.operandSize16) return;
  if (opcode == 0x8B && out.HasRegisterOperand())
    registers.value[out.reg] = registers.value[out.rm];
  else if (opcode >= 0xB8 && opcode <= 0xBF)
    registers.value[opcode & 7] = out.immediate;
  else if (opcode == 0xC7 && out.HasRegisterOperand())
    registers.value[out.rm] = out.immediate;
}

bool OperandFormsFit(const TDecodedInstruction& out) {
  const TOperandKind& kind = kOperandKinds[KindOf(out.encoding)];
  if (out.hasModRm && out.mod == 3 && KindAny(kind, IsMemoryOnly)) return false;
  if (out.hasModRm && out.mod != 3 && KindAny(kind, IsRegisterOnly)) return false;
  if (out.info.opcode == 0x8D && out.mod == 3) return false;  // lea needs an address
  if (KindHas(kind, Arg::Sw) && out.reg > kGs) return false;
  return true;
}

// Looks up the row and the name; false for an unknown opcode.
bool ChooseRow(TInstructionBytes& bytes, TDecodedInstruction& out, std::uint8_t lastRep, bool& saw66) {
  std::uint8_t opcodeByte = static_cast<std::uint8_t>(bytes.Take(1));
  const TOpcodeRow* row = &kOneByteMap[opcodeByte];
  out.info.opcode = opcodeByte;
  if (opcodeByte == 0x0F) {
    opcodeByte = static_cast<std::uint8_t>(bytes.Take(1));
    row = &kTwoByteMap[opcodeByte];
    out.info.opcode = static_cast<std::uint16_t>(0x0F00 | opcodeByte);
  }
  const bool twoByte = out.info.opcode > 0xFF;
  const bool prefixSelected = twoByte && MnemonicNotation::HasAlternatives(row->mnemonic);
  if (prefixSelected) ChoosePrefixSlot(out, lastRep, saw66);
  out.operandSize16 = saw66;
  out.encoding = row->encoding;
  if (out.encoding == kInvalidEncoding) return false;
  if (prefixSelected && out.prefixSlot != 0) {
    const std::uint16_t prefixed = PrefixedEncoding(opcodeByte, out.prefixSlot, out.encoding);
    out.xmmForm = prefixed == out.encoding && FormOf(out.encoding) == 6;
    out.encoding = prefixed;
  }
  if (FormOf(out.encoding) != 0) {
    const bool controlRegisterMove = out.info.opcode >= 0x0F20 && out.info.opcode <= 0x0F23;
    DecodeModRm(bytes, out, controlRegisterMove);
    if (FormOf(out.encoding) == kFormGroup) {
      const TModRmGroup* group = FindModRmGroup(out.info.opcode);
      if (!group) return false;
      out.encoding = out.mod == 3 ? group->registerForms[out.reg] : group->memoryForms[out.reg];
      if (out.encoding == kInvalidEncoding) return false;
    }
  }
  const unsigned alternative =
      prefixSelected ? out.prefixSlot
                     : (out.info.opcode == 0xE3 ? out.addressSize16 : out.operandSize16);
  out.mnemonic = MnemonicNotation::Select(row->mnemonic, out.hasModRm, out.IsX87(), out.reg,
                                          out.mod == 3, out.rm, alternative);
  if (out.info.opcode == 0x0F0F) return true;  // named by the suffix byte
  return !out.mnemonic.empty();
}

}  // namespace

TDecodedInstruction DecodeInstruction(const ICodeReader& reader, CodeAddress address, TRegisterValues* registers) {
  TDecodedInstruction out;
  out.info.start = address;
  TInstructionBytes bytes(reader, address);
  std::uint8_t lastRep = 0;
  bool saw66 = false;
  ReadPrefixes(bytes, out, lastRep, saw66);
  out.rep = lastRep == 0xF3;
  out.repne = lastRep == 0xF2;
  bool known = ChooseRow(bytes, out, lastRep, saw66) && OperandFormsFit(out);
  CodeAddress immediateAt = 0;
  if (known) {
    immediateAt = address + bytes.Position();
    ReadImmediates(bytes, out, out.operandSize16 ? 2 : 4);
    if (out.info.opcode == 0x0F0F) {
      const char* name = ThreeDNowName(static_cast<std::uint8_t>(out.immediate));
      out.mnemonic = name ? name : "";
      known = name != nullptr;
    }
  }
  if (bytes.Exhausted() || bytes.Position() > kMaxInstructionLength) known = false;
  out.length = static_cast<std::uint8_t>(std::max(1u, std::min(bytes.Position(), kMaxInstructionLength)));
  out.info.next = address + out.length;
  out.info.valid = known;
  if (!known) return out;
  SetBranch(out, reader, registers, immediateAt);
  if (registers) TrackRegisters(out, *registers);
  return out;
}

TInstructionInfo ParseCode(const ICodeReader& reader, CodeAddress address) {
  return DecodeInstruction(reader, address).info;
}
