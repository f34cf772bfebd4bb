#include "LinearSweep.h"

#include "InstructionDecoder.h"
#include "InstructionText.h"
#include "NumberText.h"

void AppendLinearSweep(const ICodeReader& reader, CodeAddress from, CodeAddress to, std::string& lines) {
  std::uint64_t at = from;
  while (at < to) {
    const CodeAddress address = static_cast<CodeAddress>(at);
    TDecodedInstruction instruction = DecodeInstruction(reader, address);
    const bool fits = at + instruction.length <= to;
    std::string text;
    unsigned length = instruction.length;
    if (instruction.info.valid && fits) {
      text = InstructionText(instruction);
    } else {
      std::uint8_t byte = 0;
      reader.Read(address, &byte, 1);
      text = DataByteText(byte);
      length = 1;
    }
    lines += NumberText::Hex(address);
    lines += '\t';
    lines += std::to_string(length);
    lines += '\t';
    lines += text;
    lines += '\n';
    at += length;
  }
}
