#pragma once

#include <cstdint>
#include <span>

#include "CodeReader.h"

// Bytes placed at a base address; everything outside them is unreadable.
class TBufferCodeReader : public ICodeReader {
 public:
  TBufferCodeReader(std::span<const std::uint8_t> bytes, CodeAddress base) : bytes_(bytes), base_(base) {}

  bool Read(CodeAddress address, std::uint8_t* buffer, std::size_t count) const override;

  CodeAddress Base() const { return base_; }
  CodeAddress End() const { return static_cast<CodeAddress>(base_ + bytes_.size()); }

 private:
  std::span<const std::uint8_t> bytes_;
  CodeAddress base_;
};
