#pragma once
// A bounded reader over a block of bytes: a read of n bytes fails, leaving its value 0 and the
// position unchanged, when fewer than n remain.
#include <cstdint>
#include <string>
#include <string_view>

class TMiniStream {
public:
    explicit TMiniStream(std::string_view data) : data_(data) {}

    size_t Size() const { return data_.size(); }
    size_t Position() const { return position_; }
    size_t Remaining() const { return data_.size() - position_; }

    bool Read(void* out, size_t count);
    bool ReadByte(uint8_t& value);
    bool ReadInt32(int32_t& value);
    bool ReadUInt32(uint32_t& value);
    // One signed byte; -128 announces a 4-byte integer instead.
    bool ReadCompact(int32_t& value);
    // A length byte and that many bytes.
    bool ReadShortString(std::string& value);

private:
    std::string_view data_;
    size_t position_ = 0;
};
