// Raw inflate on arbitrary bytes into destinations of every size, and compressed strings
// built from or made of arbitrary bytes: no crash, no write beyond a destination, and
// whatever inflates must deflate back to itself.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzProperty.h"
#include "zip/CompressedString.h"
#include "zip/Deflate.h"

namespace {

constexpr uint8_t kGuard = 0xA5;

void CheckInflate(const uint8_t* data, size_t size)
{
    // The first byte chooses the destination's capacity, so that too small ones are tried.
    const size_t capacity = size == 0 ? 0 : size_t{data[0]} * 64;
    std::vector<uint8_t> destination(capacity + 16, kGuard);
    const auto length = Uncompress(data, destination.data(), size, capacity);
    for (size_t i = capacity; i < destination.size(); ++i)
        Require(destination[i] == kGuard, "wrote beyond the destination");
    if (!length)
        return;
    Require(*length <= capacity, "length beyond the capacity");
    std::vector<uint8_t> packed(*length + *length / 10 + 64);
    const auto packedLength = Compress(destination.data(), packed.data(), *length, packed.size());
    Require(packedLength.has_value(), "inflated data does not deflate");
    std::vector<uint8_t> again(*length + 1);
    const auto againLength = Uncompress(packed.data(), again.data(), *packedLength, again.size());
    Require(againLength && *againLength == *length &&
                std::equal(again.begin(), again.begin() + static_cast<long>(*length), destination.begin()),
            "round trip differs");
}

void CheckCompressedStrings(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string unpacked = UncompressStr(bytes);
    if (!unpacked.empty())
        Require(UncompressStr(CompressStr(unpacked)) == unpacked, "unpacked string does not round-trip");
    Require(UncompressStr(CompressStr(bytes)) == bytes, "packed string does not round-trip");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CheckInflate(data, size);
    CheckCompressedStrings(data, size);
    return 0;
}
