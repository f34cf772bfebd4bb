// Feeds arbitrary bytes to the x86 decoder, the function walk, the function text and the PE
// reader of crashkit-tool, and checks what their answers promise.
#include <cstdint>
#include <span>
#include <string>

#include "BufferCodeReader.h"
#include "FunctionText.h"
#include "FunctionWalker.h"
#include "FuzzProperty.h"
#include "InstructionDecoder.h"
#include "InstructionText.h"
#include "PeImage.h"

namespace {

constexpr CodeAddress kBase = 0x401000;

// The input as the only committed memory of a process, all of it code.
class TBytesProcess : public IFunctionEnvironment, public ISymbolSource {
 public:
  explicit TBytesProcess(std::span<const std::uint8_t> bytes) : reader_(bytes, kBase) {}

  const ICodeReader& Code() const override { return reader_; }
  bool IsCommitted(CodeAddress address) const override { return address >= reader_.Base() && address < reader_.End(); }
  TCodeBounds CodeBounds(CodeAddress) const override { return {reader_.Base(), reader_.End()}; }
  CodeAddress CxxThrowRoutine() const override { return 0; }
  std::string SystemMessage(std::uint32_t) const override { return "error"; }
  std::string NameOf(CodeAddress) const override { return {}; }
  std::uint32_t LineOf(CodeAddress address) const override { return address & 0xFF; }
  std::optional<TModuleRange> ModuleOf(CodeAddress address) const override {
    if (!IsCommitted(address)) return std::nullopt;
    return TModuleRange{reader_.Base(), reader_.End(), "fuzz.dll"};
  }
  std::string ClassNameOf(CodeAddress) const override { return {}; }

 private:
  TBufferCodeReader reader_;
};

void CheckInstructions(const TBytesProcess& process, std::size_t size) {
  TRegisterValues registers;
  for (std::size_t offset = 0; offset < size; ++offset) {
    const CodeAddress at = kBase + static_cast<CodeAddress>(offset);
    const TDecodedInstruction in = DecodeInstruction(process.Code(), at, &registers);
    Require(in.info.start == at, "start");
    Require(in.length >= 1 && in.length <= kMaxInstructionLength, "length");
    Require(in.info.next == at + in.length, "next");
    if (!in.info.valid) continue;
    Require(offset + in.length <= size, "valid instruction beyond the bytes");
    Require(!InstructionText(in).empty(), "empty text");
    if (in.info.relativeTarget) Require(in.info.displacementAt > at && in.info.displacementAt < in.info.next, "displacement");
    if (in.info.target == in.info.next) Require(!in.info.isCall && !in.info.isJump, "branch to next");
  }
}

void CheckFunction(const TBytesProcess& process) {
  TFunctionInfo info;
  TDisAsmOptions options;
  options.formatted = true;
  options.crashAddress = kBase + 3;
  options.routines.onException = kBase + 0x20;
  const std::string text = DisAsmFunction(process, process, kBase, options, info);
  if (!info.valid) {
    Require(text.empty(), "text of a failed walk");
    Require(info.errorCode == kErrorInvalidParameter || info.errorCode == kErrorInvalidCode, "error code");
    return;
  }
  Require(!info.areas.empty(), "no areas");
  for (const TFunctionArea& area : info.areas) {
    Require(area.start <= area.end, "area order");
    Require(area.start >= info.lowAddress && area.end < info.lowAddress + info.codeSize, "area outside code size");
  }
  Require(text.size() < 2 || text.substr(text.size() - 2) != "\r\n", "text ends in CR LF");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const TBytesProcess process(bytes);
  CheckInstructions(process, size);
  CheckFunction(process);
  if (const std::optional<TPeImage> image = LoadPeImage(bytes)) {
    for (const TPeFileSection& section : image->sections)
      Require(section.address - image->imageBase + section.size <= image->mapped.size(), "section beyond image");
  }
  return 0;
}
