#include "ImageCodeBounds.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr std::uint32_t kSectionHoldsCode = 0x20;
constexpr std::uint16_t kOptionalHeader32 = 0x10B;

class THeaderReader {
 public:
  THeaderReader(const ICodeReader& reader, CodeAddress base) : reader_(reader), base_(base) {}

  bool ok() const { return ok_; }

  std::uint32_t U16(std::uint32_t offset) { return Read(offset, 2); }
  std::uint32_t U32(std::uint32_t offset) { return Read(offset, 4); }

 private:
  std::uint32_t Read(std::uint32_t offset, unsigned size) {
    std::uint8_t bytes[4] = {};
    if (!reader_.Read(base_ + offset, bytes, size)) ok_ = false;
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  }

  const ICodeReader& reader_;
  CodeAddress base_;
  bool ok_ = true;
};

}  // namespace

std::optional<TCodeBounds> ImageCodeBounds(const ICodeReader& reader, CodeAddress imageBase) {
  THeaderReader headers(reader, imageBase);
  if (headers.U16(0) != 0x5A4D) return std::nullopt;
  const std::uint32_t pe = headers.U32(0x3C);
  if (pe > 0x10000 || headers.U32(pe) != 0x00004550) return std::nullopt;
  const std::uint32_t sectionCount = headers.U16(pe + 6);
  const std::uint32_t optional = pe + 24;
  const std::uint32_t sections = optional + headers.U16(pe + 20);
  if (headers.U16(optional) != kOptionalHeader32) return std::nullopt;
  std::uint64_t low = 0, high = 0;
  const auto section = [&](unsigned index, std::uint32_t field) { return headers.U32(sections + 40 * index + field); };
  if (sectionCount >= 1 && (section(0, 36) & kSectionHoldsCode)) {
    low = section(0, 12);
    high = low + section(0, 8);
    if (sectionCount >= 2 && (section(1, 36) & kSectionHoldsCode)) high = std::max<std::uint64_t>(high, section(1, 12) + section(1, 8));
  } else {
    low = headers.U32(optional + 20);
    high = low + headers.U32(optional + 4);
  }
  const std::uint64_t dataEnd = static_cast<std::uint64_t>(headers.U32(optional + 24)) + headers.U32(optional + 8) +
                                headers.U32(optional + 12);
  high = std::max(high, dataEnd);
  if (!headers.ok() || imageBase + high > UINT32_MAX) return std::nullopt;
  return TCodeBounds{static_cast<CodeAddress>(imageBase + low), static_cast<CodeAddress>(imageBase + high)};
}
