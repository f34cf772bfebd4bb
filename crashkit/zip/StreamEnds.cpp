#include "zip/StreamEnds.h"

#include <algorithm>

bool TMemorySource::Next(std::span<const uint8_t>& window)
{
    const size_t length = static_cast<size_t>(std::min<uint64_t>(kStreamWindow, size_ - position_));
    window = {data_ + position_, length};
    position_ += length;
    return true;
}

std::span<uint8_t> TMemorySink::Next()
{
    const size_t length = static_cast<size_t>(std::min<uint64_t>(kStreamWindow, capacity_ - position_));
    return {data_ + position_, length};
}
