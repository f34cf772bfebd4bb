// Base64 decoding of arbitrary text: no crash, no byte beyond what the characters before
// the first foreign one carry, and well-formed text round-trips.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzProperty.h"
#include "crypto/Base64.h"

namespace {

bool InAlphabet(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string decoded = DecodeBase64Str(text);
    if (size % 4 != 0) {
        Require(decoded.empty(), "decoded text of a length not a multiple of 4");
    } else {
        size_t valid = 0;
        while (valid < size && InAlphabet(text[valid]))
            ++valid;
        Require(decoded.size() == valid * 6 / 8, "byte count differs from the bits given");
        // What decodes encodes back to the same characters, up to the partial group.
        const std::string encoded = EncodeBase64Str(decoded);
        Require(encoded.compare(0, valid / 4 * 4, text.substr(0, valid / 4 * 4)) == 0, "groups differ");
    }
    Require(DecodeBase64Str(EncodeBase64Str(text)) == text, "bytes do not round-trip");
    return 0;
}
