#include "BufferCodeReader.h"

#include <cstring>

bool TBufferCodeReader::Read(CodeAddress address, std::uint8_t* buffer, std::size_t count) const {
  if (address < base_) return false;
  const std::uint64_t offset = address - base_;
  if (offset > bytes_.size() || count > bytes_.size() - offset) return false;
  if (count != 0) std::memcpy(buffer, bytes_.data() + offset, count);
  return true;
}
