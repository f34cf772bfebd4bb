#pragma once
// The two ends of a compression run. Data moves in windows of at most 1 MB, so neither end
// has to hold a large stream whole; files and file mappings provide their own ends.
#include <cstddef>
#include <cstdint>
#include <span>

constexpr size_t kStreamWindow = 1u << 20;

class TStreamSource {
public:
    virtual ~TStreamSource() = default;
    // Gives the next window of input; an empty window ends the input. False when the input
    // cannot be read as far as its known size.
    virtual bool Next(std::span<const uint8_t>& window) = 0;
};

class TStreamSink {
public:
    virtual ~TStreamSink() = default;
    // The next window to fill; empty when the destination has no more room.
    virtual std::span<uint8_t> Next() = 0;
    // Keeps the first `used` bytes of the current window. File ends raise "Stream write error."
    // when they cannot.
    virtual void Commit(size_t used) = 0;
};

// Input straight from memory.
class TMemorySource : public TStreamSource {
public:
    TMemorySource(const void* data, uint64_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    bool Next(std::span<const uint8_t>& window) override;

private:
    const uint8_t* data_;
    uint64_t size_;
    uint64_t position_ = 0;
};

// Output straight into a caller's buffer of fixed capacity.
class TMemorySink : public TStreamSink {
public:
    TMemorySink(void* data, uint64_t capacity) : data_(static_cast<uint8_t*>(data)), capacity_(capacity) {}
    std::span<uint8_t> Next() override;
    void Commit(size_t used) override { position_ += used; }
    uint64_t Written() const { return position_; }

private:
    uint8_t* data_;
    uint64_t capacity_;
    uint64_t position_ = 0;
};
