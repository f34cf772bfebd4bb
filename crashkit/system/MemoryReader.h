#pragma once
// How the platform-free code reads memory it does not own: live memory of a process, a
// file's bytes, or a buffer in a test. A read either copies the whole range or fails.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

class IMemoryReader {
public:
    virtual ~IMemoryReader() = default;
    virtual bool Read(uint64_t address, void* out, size_t size) const = 0;
};

// Bytes held in memory, seen at a chosen address.
class TBufferReader : public IMemoryReader {
public:
    TBufferReader(std::string_view bytes, uint64_t address = 0) : bytes_(bytes), address_(address) {}

    bool Read(uint64_t address, void* out, size_t size) const override
    {
        if (address < address_ || address - address_ > bytes_.size() || size > bytes_.size() - (address - address_))
            return false;
        std::memcpy(out, bytes_.data() + (address - address_), size);
        return true;
    }

private:
    std::string_view bytes_;
    uint64_t address_;
};
