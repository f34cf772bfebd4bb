#pragma once
// Fixed-size byte ring of the serial write thread. Writes are all or nothing, so a block
// that does not fit is refused whole and the caller can report it.
#include <cstdint>
#include <vector>

class TScCircularBuffer {
public:
    explicit TScCircularBuffer(uint32_t size);

    void Clear();
    uint32_t Size() const { return static_cast<uint32_t>(block_.size()); }
    uint32_t UsedCount() const;
    uint32_t FreeCount() const { return Size() - UsedCount(); }
    // Bytes readable in one piece from the read index, up to the block end.
    uint32_t LinearReadCount() const;
    const uint8_t* ReadPointer() const { return block_.data() + readIndex_; }

    // False (nothing copied) for an empty block or one larger than the free space.
    bool Write(const void* data, uint32_t count);
    // False when fewer than count bytes are in the ring.
    bool Remove(uint32_t count);

private:
    uint32_t Advance(uint32_t index, uint32_t count) const;

    std::vector<uint8_t> block_;
    uint32_t readIndex_ = 0;
    uint32_t writeIndex_ = 0;
    bool full_ = false;
};
