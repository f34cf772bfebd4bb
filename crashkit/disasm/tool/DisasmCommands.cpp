#include "DisasmCommands.h"

#include <cstdio>
#include <fstream>
#include <optional>

#include "BufferCodeReader.h"
#include "FunctionText.h"
#include "ImageEnvironment.h"
#include "LinearSweep.h"
#include "NumberText.h"
#include "PeImage.h"

namespace {

constexpr int kFailed = 1;
constexpr int kBadArguments = 2;

// In one read: the DLLs swept are tens of megabytes with their debug sections.
std::optional<std::vector<std::uint8_t>> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return std::nullopt;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.tellg()));
  file.seekg(0);
  if (!file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) return std::nullopt;
  return bytes;
}

std::optional<std::uint32_t> ParseHex(const std::string& text) {
  if (text.empty() || text.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (digit < 0) return std::nullopt;
    value = value << 4 | static_cast<std::uint32_t>(digit);
  }
  return value;
}

int Print(const std::string& lines) {
  return std::fwrite(lines.data(), 1, lines.size(), stdout) == lines.size() && std::fflush(stdout) == 0 ? 0 : kFailed;
}

int Fail(const char* what, const std::string& subject) {
  std::fprintf(stderr, "crashkit-tool disasm: %s: %s\n", what, subject.c_str());
  return kFailed;
}

int SweepRaw(const std::string& path, const std::string& baseText) {
  const std::optional<std::uint32_t> base = ParseHex(baseText);
  if (!base) return Fail("not a hexadecimal address", baseText);
  const std::optional<std::vector<std::uint8_t>> bytes = ReadFile(path);
  if (!bytes) return Fail("cannot read", path);
  if (bytes->size() > UINT32_MAX - *base) return Fail("does not fit below 4 GB at that base", path);
  const TBufferCodeReader reader(*bytes, *base);
  std::string lines;
  AppendLinearSweep(reader, reader.Base(), reader.End(), lines);
  return Print(lines);
}

int SweepSection(const std::string& path, const std::string& sectionName) {
  const std::optional<std::vector<std::uint8_t>> bytes = ReadFile(path);
  if (!bytes) return Fail("cannot read", path);
  const std::optional<TPeImage> image = LoadPeImage(*bytes);
  if (!image) return Fail("not a 32-bit PE file", path);
  const TPeFileSection* section = image->FindSection(sectionName);
  if (!section) return Fail("no such section", sectionName);
  const TBufferCodeReader reader(image->Bytes(*section), section->address);
  std::string lines;
  AppendLinearSweep(reader, reader.Base(), reader.End(), lines);
  return Print(lines);
}

const char* YesNo(bool value) { return value ? "yes" : "no"; }

std::string Registers(const TRegisterValues& registers) {
  static constexpr const char* kNames[] = {"eax", "ecx", "edx", "ebx", "esp", "ebp", "esi", "edi"};
  std::string text;
  for (unsigned i = 0; i < 8; ++i)
    if (registers.value[i] != 0) text += std::string(" ") + kNames[i] + "=" + NumberText::Hex(registers.value[i]);
  return text;
}

// What the walk found, one fact a line.
std::string WalkReport(const TFunctionInfo& info) {
  using NumberText::Hex;
  std::string report = "; valid: " + std::string(YesNo(info.valid)) + "\n";
  if (!info.valid) {
    return report + "; error " + Hex(info.errorCode) + " at " + Hex(info.errorAddress) + ": " + info.errorText + "\n";
  }
  report += "; entry " + Hex(info.entry) + ", low address " + Hex(info.lowAddress) + ", code size " +
            std::to_string(info.codeSize) + ", patchable: " + YesNo(info.patchable) + "\n";
  for (const TFunctionArea& area : info.areas) {
    report += "; area " + Hex(area.start) + "-" + Hex(area.end) + " from " + Hex(area.origin);
    if (area.isCaseTable) report += " case table";
    if (area.isHandlerTable) report += " handler table";
    report += Registers(area.registers) + "\n";
  }
  for (const TOutsideCall& call : info.outsideCalls) {
    report += "; outside ";
    report += call.isCall ? "call" : "jump";
    report += " at " + Hex(call.start) + " to " + Hex(call.target);
    if (call.pointerCell != 0) report += " through " + Hex(call.pointerCell);
    report += "\n";
  }
  for (const TUnresolvedBranch& branch : info.unresolvedBranches)
    report += "; unresolved " + std::string(branch.isCall ? "call" : "jump") + " at " + Hex(branch.start) + "\n";
  return report;
}

}  // namespace

int FunctionCommand(const std::vector<std::string>& arguments) {
  if (arguments.size() != 2) {
    std::fprintf(stderr, "usage: crashkit-tool function PE-FILE ADDRESS\n");
    return kBadArguments;
  }
  const std::optional<std::uint32_t> address = ParseHex(arguments[1]);
  if (!address) return Fail("not a hexadecimal address", arguments[1]);
  const std::optional<std::vector<std::uint8_t>> bytes = ReadFile(arguments[0]);
  if (!bytes) return Fail("cannot read", arguments[0]);
  const std::optional<TPeImage> image = LoadPeImage(*bytes);
  if (!image) return Fail("not a 32-bit PE file", arguments[0]);
  const std::string path = arguments[0];
  const TImageEnvironment environment(*image, path.substr(path.find_last_of("/\\") + 1));
  TDisAsmOptions options;
  options.maxLines = 0;
  options.formatted = true;
  options.crashAddress = *address;
  TFunctionInfo info;
  std::string text = DisAsmFunction(environment, environment, *address, options, info);
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
  if (!text.empty()) text += "\n";
  const int written = Print(text + WalkReport(info));
  return written != 0 ? written : info.valid ? 0 : kFailed;
}

int DisasmCommand(const std::vector<std::string>& arguments) {
  if (arguments.size() == 4 && arguments[0] == "--raw" && arguments[2] == "--base")
    return SweepRaw(arguments[1], arguments[3]);
  if (arguments.size() == 3 && arguments[0] == "--section") return SweepSection(arguments[2], arguments[1]);
  if (arguments.size() == 1) return SweepSection(arguments[0], ".text");
  std::fprintf(stderr, "usage: crashkit-tool disasm [--section NAME] PE-FILE | disasm --raw FILE --base HEX\n");
  return kBadArguments;
}
