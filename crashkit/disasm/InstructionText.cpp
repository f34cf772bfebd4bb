#include "InstructionText.h"

#include "NumberText.h"

namespace {

constexpr unsigned kByteRegisters = 0, kWordRegisters = 8, kSegmentRegisters = 16, kDwordRegisters = 22;

const char* GeneralRegister(unsigned number, unsigned size) {
  const unsigned first = size == 1 ? kByteRegisters : size == 2 ? kWordRegisters : kDwordRegisters;
  return kRegisterNames[first + (number & 7)];
}

const char* SizeWord(unsigned size) {
  switch (size) {
    case 1: return "byte";
    case 2: return "word";
    case 4: return "dword";
    case 6: return "fword";
    case 8: return "qword";
    case 10: return "tbyte";
    case 16: return "oword";
    default: return "";
  }
}

class TOperandWriter {
 public:
  TOperandWriter(const TDecodedInstruction& instruction, const TBranchLabeler& labeler)
      : in_(instruction), labeler_(labeler), operandSize_(instruction.operandSize16 ? 2u : 4u) {}

  std::string Write(Arg arg) const {
    switch (arg) {
      case Arg::Eb: return RegisterOrMemory(GeneralRegister(in_.rm, 1), 1);
      case Arg::Ew: return RegisterOrMemory(GeneralRegister(in_.rm, 2), 2);
      case Arg::Ev: return RegisterOrMemory(GeneralRegister(in_.rm, operandSize_), IndirectOperandSize());
      case Arg::Ed: return RegisterOrMemory(GeneralRegister(in_.rm, 4), 4);
      case Arg::Esw: return RegisterOrMemory(GeneralRegister(in_.rm, operandSize_), 2);
      case Arg::M: return Memory(0);
      case Arg::Mb: return Memory(1);
      case Arg::Mw: return Memory(2);
      case Arg::Md: return Memory(4);
      case Arg::Mq: return Memory(8);
      case Arg::Mt: return Memory(10);
      case Arg::Mo: return Memory(16);
      case Arg::Mp: return Memory(operandSize_ + 2);
      case Arg::Ma: return Memory(operandSize_ * 2);
      case Arg::Qq: return RegisterOrMemory(MediaRegister(in_.rm), in_.xmmForm ? 16 : 8);
      case Arg::Qd: return RegisterOrMemory(MediaRegister(in_.rm), in_.xmmForm ? 16 : 4);
      case Arg::Nq: return MediaRegister(in_.rm);
      case Arg::Wo: return RegisterOrMemory(Xmm(in_.rm), 16);
      case Arg::Wq: return RegisterOrMemory(Xmm(in_.rm), 8);
      case Arg::Wd: return RegisterOrMemory(Xmm(in_.rm), 4);
      case Arg::Wps: return RegisterOrMemory(Xmm(in_.rm), in_.prefixSlot == 2 ? 4 : in_.prefixSlot == 3 ? 8 : 16);
      case Arg::Uo: return Xmm(in_.rm);
      case Arg::Rd: return GeneralRegister(in_.rm, 4);
      case Arg::Gb: return GeneralRegister(in_.reg, 1);
      case Arg::Gw: return GeneralRegister(in_.reg, 2);
      case Arg::Gv: return GeneralRegister(in_.reg, operandSize_);
      case Arg::Gd: return GeneralRegister(in_.reg, 4);
      case Arg::Sw: return kRegisterNames[kSegmentRegisters + in_.reg];
      case Arg::Cd: return "cr" + std::to_string(in_.reg);
      case Arg::Dd: return "dr" + std::to_string(in_.reg);
      case Arg::Pq: return MediaRegister(in_.reg);
      case Arg::Vo: return Xmm(in_.reg);
      case Arg::Imm: return ImmediateAsPushed();
      case Arg::Ib: return NumberText::Operand(in_.immediate & 0xFF);
      case Arg::Ibs: return NumberText::Operand(static_cast<std::int8_t>(in_.immediate));
      case Arg::Iw: return NumberText::Operand(in_.immediate & 0xFFFF);
      case Arg::Iv: return NumberText::Operand(in_.immediate);
      case Arg::Ib2: return NumberText::Operand(in_.immediate2 & 0xFF);
      case Arg::Ap: return NumberText::Operand(in_.immediate2) + ":" + NumberText::Operand(in_.immediate);
      case Arg::Ob: return Absolute(1);
      case Arg::Ov: return Absolute(operandSize_);
      case Arg::AL: return "al";
      case Arg::eAX: return GeneralRegister(kEax, operandSize_);
      case Arg::AX: return "ax";
      case Arg::CL: return "cl";
      case Arg::DX: return "dx";
      case Arg::One: return "1";
      case Arg::ST0: return "st";
      case Arg::STi: return in_.rm == 0 ? "st" : "st(" + std::to_string(in_.rm) + ")";
      case Arg::Zb: return GeneralRegister(in_.info.opcode, 1);
      case Arg::Zv: return GeneralRegister(in_.info.opcode, operandSize_);
      case Arg::Seg: return kRegisterNames[kSegmentRegisters + SegmentOfOpcode()];
      case Arg::Xb: return StringOperand(1, kEsi, in_.segment);
      case Arg::Xv: return StringOperand(operandSize_, kEsi, in_.segment);
      case Arg::Yb: return StringOperand(1, kEdi, kEs);
      case Arg::Yv: return StringOperand(operandSize_, kEdi, kEs);
      case Arg::Xlat: return StringOperand(1, kEbx, in_.segment);
      case Arg::None: break;
    }
    return {};
  }

 private:
  // A far call or jump through memory reads a selector beside the offset.
  unsigned IndirectOperandSize() const {
    if (in_.info.opcode == 0xFF && (in_.reg == 3 || in_.reg == 5)) return operandSize_ + 2;
    return operandSize_;
  }

  std::string MediaRegister(unsigned number) const {
    return in_.xmmForm ? Xmm(number) : "mm" + std::to_string(number);
  }

  static std::string Xmm(unsigned number) { return "xmm" + std::to_string(number); }

  unsigned SegmentOfOpcode() const {
    if (in_.info.opcode > 0xFF) return (in_.info.opcode & 0x08) ? kGs : kFs;
    return (in_.info.opcode >> 3) & 3;
  }

  std::string RegisterOrMemory(const std::string& registerName, unsigned size) const {
    return in_.mod == 3 ? registerName : Memory(size);
  }

  std::string SizePrefix(unsigned size, int segment) const {
    std::string text;
    if (size != 0) text = std::string(SizeWord(size)) + " ptr ";
    if (segment != kNoSegment) text += std::string(kRegisterNames[kSegmentRegisters + segment]) + ":";
    return text;
  }

  std::string Memory(unsigned size) const {
    if (in_.info.opcode == 0x8D) size = 0;  // lea computes the address only
    const TMemoryOperand& memory = in_.memory;
    const unsigned addressSize = in_.addressSize16 ? 2 : 4;
    std::string text = SizePrefix(size, in_.segment) + "[";
    if (memory.base >= 0) text += GeneralRegister(memory.base, addressSize);
    if (memory.index >= 0) {
      if (memory.base >= 0) text += "+";
      text += GeneralRegister(memory.index, addressSize);
      if (!in_.addressSize16) {
        text += '*';
        text += std::to_string(memory.scale);
      }
    }
    if (memory.base < 0 && memory.index < 0)
      text += NumberText::Operand(in_.addressSize16 ? static_cast<std::uint16_t>(memory.displacement)
                                                    : static_cast<std::uint32_t>(memory.displacement));
    else if (memory.displacementSize != 0)
      text += NumberText::SignedOffset(memory.displacement);
    return text + "]";
  }

  std::string Absolute(unsigned size) const {
    return SizePrefix(size, in_.segment) + "[" + NumberText::Operand(in_.immediate) + "]";
  }

  std::string StringOperand(unsigned size, unsigned base, int segment) const {
    return SizePrefix(size, segment) + "[" + GeneralRegister(base, in_.addressSize16 ? 2 : 4) + "]";
  }

  std::string ImmediateAsPushed() const {
    if (in_.immediateSize == 0) return {};
    if (in_.encoding & kRelative) return Relative();
    if (in_.immediateSize == 1) return NumberText::Operand(static_cast<std::int8_t>(in_.immediate));
    return NumberText::Operand(in_.immediate);
  }

  std::string Relative() const {
    const std::int32_t displacement = in_.immediateSize == 1   ? static_cast<std::int8_t>(in_.immediate)
                                      : in_.immediateSize == 2 ? static_cast<std::int16_t>(in_.immediate)
                                                               : static_cast<std::int32_t>(in_.immediate);
    CodeAddress target = in_.info.next + static_cast<CodeAddress>(displacement);
    if (in_.operandSize16 && in_.immediateSize == 2) target &= 0xFFFF;
    if (labeler_) {
      std::string label = labeler_(target);
      if (!label.empty()) return label;
    }
    return NumberText::Operand(displacement) + " ($" + NumberText::Hex(target) + ")";
  }

  const TDecodedInstruction& in_;
  const TBranchLabeler& labeler_;
  unsigned operandSize_;
};

// Expands "%cc", "PS" and "S" and adds the "f" of the x87 names.
std::string Mnemonic(const TDecodedInstruction& in) {
  std::string name;
  if (in.IsX87()) name = "f";
  const std::string_view stored = in.mnemonic;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if (stored.compare(i, 3, "%cc") == 0) {
      name += kConditionSuffixes[in.info.opcode & 15];
      i += 2;
    } else if (stored.compare(i, 2, "PS") == 0) {
      name += in.prefixSlot == 1 ? "pd" : "ps";
      ++i;
    } else if (stored[i] == 'S') {
      name += in.prefixSlot == 3 ? "sd" : "ss";
    } else {
      name += stored[i];
    }
  }
  return name;
}

std::string PrefixWords(const TDecodedInstruction& in) {
  std::string words;
  if (in.lock) words += "lock ";
  if (in.info.opcode <= 0xFF) {
    if (in.repne) words += "repne ";
    if (in.rep) words += "rep ";
  }
  return words;
}

}  // namespace

std::string InstructionText(const TDecodedInstruction& instruction, const TBranchLabeler& labeler) {
  if (instruction.info.opcode == 0x90 && instruction.rep) return "pause";
  std::string text = PrefixWords(instruction) + Mnemonic(instruction);
  const TOperandKind& kind = kOperandKinds[KindOf(instruction.encoding)];
  // aam and aad name their usual base 10 by themselves.
  const bool decimalBase = (instruction.info.opcode == 0xD4 || instruction.info.opcode == 0xD5) &&
                           instruction.immediate == 10;
  if (decimalBase) return text;
  const TOperandWriter writer(instruction, labeler);
  const char* separator = " ";
  for (Arg arg : {kind.first, kind.second, kind.third}) {
    if (arg == Arg::None) break;
    const std::string operand = writer.Write(arg);
    if (operand.empty()) continue;
    text += separator + operand;
    separator = ", ";
  }
  return text;
}

std::string DataByteText(std::uint8_t byte) {
  static constexpr char kDigits[] = "0123456789abcdef";
  return std::string("db ") + kDigits[byte >> 4] + kDigits[byte & 15];
}
