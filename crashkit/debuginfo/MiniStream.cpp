#include "debuginfo/MiniStream.h"

#include <cstring>

bool TMiniStream::Read(void* out, size_t count)
{
    if (count > Remaining()) {
        std::memset(out, 0, count);
        return false;
    }
    std::memcpy(out, data_.data() + position_, count);
    position_ += count;
    return true;
}

bool TMiniStream::ReadByte(uint8_t& value)
{
    return Read(&value, 1);
}

bool TMiniStream::ReadInt32(int32_t& value)
{
    uint32_t raw = 0;
    const bool read = ReadUInt32(raw);
    value = static_cast<int32_t>(raw);
    return read;
}

bool TMiniStream::ReadUInt32(uint32_t& value)
{
    uint8_t bytes[4];
    const bool read = Read(bytes, sizeof bytes);
    value = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return read;
}

bool TMiniStream::ReadCompact(int32_t& value)
{
    uint8_t byte = 0;
    if (!ReadByte(byte))
        return value = 0, false;
    if (byte != 0x80)
        return value = static_cast<int8_t>(byte), true;
    return ReadInt32(value);
}

bool TMiniStream::ReadShortString(std::string& value)
{
    uint8_t length = 0;
    value.clear();
    if (!ReadByte(length) || length > Remaining())
        return false;
    value.assign(data_.data() + position_, length);
    position_ += length;
    return true;
}
