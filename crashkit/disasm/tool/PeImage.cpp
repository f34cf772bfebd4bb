#include "PeImage.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint32_t kMaxImageSize = 512u << 20;
constexpr std::uint32_t kMaxExportName = 256;
constexpr std::uint16_t kOptionalHeader32 = 0x10B;

class TFileView {
 public:
  explicit TFileView(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool Has(std::uint64_t offset, std::uint64_t count) const {
    return offset <= bytes_.size() && count <= bytes_.size() - offset;
  }
  std::uint32_t U8(std::uint64_t offset) const { return Has(offset, 1) ? bytes_[offset] : 0; }
  std::uint32_t U16(std::uint64_t offset) const { return Has(offset, 2) ? bytes_[offset] | bytes_[offset + 1] << 8 : 0; }
  std::uint32_t U32(std::uint64_t offset) const {
    return Has(offset, 4) ? U16(offset) | static_cast<std::uint32_t>(U16(offset + 2)) << 16 : 0;
  }
 private:
  std::span<const std::uint8_t> bytes_;
};

std::string SectionName(TFileView file, std::uint64_t offset) {
  std::string name;
  for (unsigned i = 0; i < 8; ++i) {
    const char c = static_cast<char>(file.U8(offset + i));
    if (c == 0) break;
    name += c;
  }
  return name;
}

// The names of the export directory, read from the mapped image; forwarders are skipped.
std::map<CodeAddress, std::string> ExportNames(const TPeImage& image, std::uint32_t directory, std::uint32_t size) {
  std::map<CodeAddress, std::string> names;
  const TFileView view(image.mapped);
  const std::uint32_t count = view.U32(directory + 24);
  const std::uint32_t functions = view.U32(directory + 28);
  const std::uint32_t nameTable = view.U32(directory + 32);
  const std::uint32_t ordinals = view.U32(directory + 36);
  if (directory == 0 || !view.Has(nameTable, 4ull * count) || !view.Has(ordinals, 2ull * count)) return names;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t ordinal = view.U16(ordinals + 2ull * i);
    const std::uint32_t rva = view.U32(functions + 4ull * ordinal);
    if (rva == 0 || (rva >= directory && rva < directory + size)) continue;
    std::string name;
    for (std::uint64_t at = view.U32(nameTable + 4ull * i); view.Has(at, 1) && name.size() < kMaxExportName; ++at) {
      const char c = static_cast<char>(view.U8(at));
      if (c == 0) break;
      name += c;
    }
    if (!name.empty()) names.emplace(image.imageBase + rva, name);
  }
  return names;
}

}  // namespace

const TPeFileSection* TPeImage::FindSection(const std::string& name) const {
  for (const TPeFileSection& section : sections)
    if (section.name == name) return &section;
  return nullptr;
}

std::span<const std::uint8_t> TPeImage::Bytes(const TPeFileSection& section) const {
  return std::span(mapped).subspan(section.address - imageBase, section.size);
}

std::optional<TPeImage> LoadPeImage(std::span<const std::uint8_t> bytes) {
  const TFileView file(bytes);
  if (file.U16(0) != 0x5A4D) return std::nullopt;  // "MZ"
  const std::uint64_t pe = file.U32(0x3C);
  if (!file.Has(pe, 24) || file.U32(pe) != 0x00004550) return std::nullopt;  // "PE\0\0"
  const std::uint32_t sectionCount = file.U16(pe + 6);
  const std::uint32_t optionalSize = file.U16(pe + 20);
  const std::uint64_t optional = pe + 24;
  if (optionalSize < 96 || !file.Has(optional, optionalSize) || file.U16(optional) != kOptionalHeader32)
    return std::nullopt;
  TPeImage image;
  image.imageBase = file.U32(optional + 28);
  const std::uint32_t imageSize = file.U32(optional + 56);
  const std::uint32_t headersSize = file.U32(optional + 60);
  if (imageSize == 0 || imageSize > kMaxImageSize || image.imageBase > UINT32_MAX - imageSize) return std::nullopt;
  image.mapped.assign(imageSize, 0);
  const std::uint64_t headersCopied = std::min<std::uint64_t>({headersSize, imageSize, bytes.size()});
  std::memcpy(image.mapped.data(), bytes.data(), headersCopied);
  const std::uint64_t table = optional + optionalSize;
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    const std::uint64_t header = table + 40ull * i;
    if (!file.Has(header, 40)) return std::nullopt;
    const std::uint32_t virtualSize = file.U32(header + 8);
    const std::uint32_t virtualAddress = file.U32(header + 12);
    const std::uint32_t rawSize = file.U32(header + 16);
    const std::uint32_t rawOffset = file.U32(header + 20);
    std::uint64_t size = virtualSize != 0 ? std::min(virtualSize, rawSize) : rawSize;
    if (virtualAddress >= imageSize) return std::nullopt;
    size = std::min<std::uint64_t>(size, imageSize - virtualAddress);
    if (!file.Has(rawOffset, size)) size = rawOffset < bytes.size() ? bytes.size() - rawOffset : 0;
    if (size != 0) std::memcpy(image.mapped.data() + virtualAddress, bytes.data() + rawOffset, size);
    image.sections.push_back({SectionName(file, header), image.imageBase + virtualAddress,
                              static_cast<std::uint32_t>(size), file.U32(header + 36)});
  }
  if (optionalSize >= 104) image.exports = ExportNames(image, file.U32(optional + 96), file.U32(optional + 100));
  return image;
}
