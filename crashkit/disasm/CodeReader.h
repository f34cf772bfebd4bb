#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// Addresses of the decoded 32-bit x86 code; branch targets wrap at 32 bits as the CPU does.
using CodeAddress = std::uint32_t;

// The seam through which the decoder sees code and data: live memory behind a guarded read
// in a process, the bytes of a file in the tools and tests.
class ICodeReader {
 public:
  virtual ~ICodeReader() = default;
  // Copies count bytes at address into buffer; false when any of them cannot be read.
  virtual bool Read(CodeAddress address, std::uint8_t* buffer, std::size_t count) const = 0;
};

// The little-endian dword at address; nothing when it cannot be read.
inline std::optional<std::uint32_t> ReadDword(const ICodeReader& reader, CodeAddress address) {
  std::uint8_t bytes[4];
  if (!reader.Read(address, bytes, sizeof bytes)) return std::nullopt;
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}
