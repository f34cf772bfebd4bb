#include "serial/ScCircularBuffer.h"

#include <algorithm>
#include <cstring>

TScCircularBuffer::TScCircularBuffer(uint32_t size) : block_(size) {}

void TScCircularBuffer::Clear()
{
    readIndex_ = 0;
    writeIndex_ = 0;
    full_ = false;
}

uint32_t TScCircularBuffer::UsedCount() const
{
    if (full_)
        return Size();
    if (readIndex_ <= writeIndex_)
        return writeIndex_ - readIndex_;
    return writeIndex_ + Size() - readIndex_;
}

uint32_t TScCircularBuffer::LinearReadCount() const
{
    if (!full_ && readIndex_ <= writeIndex_)
        return writeIndex_ - readIndex_;
    return Size() - readIndex_;
}

bool TScCircularBuffer::Write(const void* data, uint32_t count)
{
    if (count < 1 || FreeCount() < count)
        return false;
    const auto* bytes = static_cast<const uint8_t*>(data);
    const uint32_t firstPart = std::min(count, Size() - writeIndex_);
    std::memcpy(block_.data() + writeIndex_, bytes, firstPart);
    std::memcpy(block_.data(), bytes + firstPart, count - firstPart);
    writeIndex_ = Advance(writeIndex_, count);
    full_ = writeIndex_ == readIndex_;
    return true;
}

bool TScCircularBuffer::Remove(uint32_t count)
{
    if (UsedCount() < count)
        return false;
    if (count >= 1) {
        readIndex_ = Advance(readIndex_, count);
        full_ = false;
    }
    return true;
}

uint32_t TScCircularBuffer::Advance(uint32_t index, uint32_t count) const
{
    return static_cast<uint32_t>((static_cast<uint64_t>(index) + count) % Size());
}
