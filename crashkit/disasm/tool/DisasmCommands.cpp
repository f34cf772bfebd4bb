#include "DisasmCommands.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>

#include "BufferCodeReader.h"
#include "LinearSweep.h"
#include "PeImage.h"

namespace {

constexpr int kFailed = 1;
constexpr int kBadArguments = 2;

std::optional<std::vector<std::uint8_t>> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
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
  const TPeSection* section = image->FindSection(sectionName);
  if (!section) return Fail("no such section", sectionName);
  const TBufferCodeReader reader(image->Bytes(*section), section->address);
  std::string lines;
  AppendLinearSweep(reader, reader.Base(), reader.End(), lines);
  return Print(lines);
}

}  // namespace

int DisasmCommand(const std::vector<std::string>& arguments) {
  if (arguments.size() == 4 && arguments[0] == "--raw" && arguments[2] == "--base")
    return SweepRaw(arguments[1], arguments[3]);
  if (arguments.size() == 3 && arguments[0] == "--section") return SweepSection(arguments[2], arguments[1]);
  if (arguments.size() == 1) return SweepSection(arguments[0], ".text");
  std::fprintf(stderr, "usage: crashkit-tool disasm [--section NAME] PE-FILE | disasm --raw FILE --base HEX\n");
  return kBadArguments;
}
