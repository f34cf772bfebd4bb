#include "crypto/Base64.h"

#include <array>
#include <cstdint>

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kNotInAlphabet = -1;

constexpr std::array<int, 256> MakeDecodeTable()
{
    std::array<int, 256> table{};
    for (int& value : table)
        value = kNotInAlphabet;
    for (size_t i = 0; i < kAlphabet.size(); ++i)
        table[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int>(i);
    return table;
}

constexpr std::array<int, 256> kDecodeTable = MakeDecodeTable();

} // namespace

std::string EncodeBase64(const void* data, size_t length)
{
    auto bytes = static_cast<const uint8_t*>(data);
    std::string out;
    out.reserve((length + 2) / 3 * 4);
    for (size_t i = 0; i < length; i += 3) {
        const size_t have = length - i < 3 ? length - i : 3;
        uint32_t group = uint32_t{bytes[i]} << 16;
        if (have > 1)
            group |= uint32_t{bytes[i + 1]} << 8;
        if (have > 2)
            group |= bytes[i + 2];
        for (size_t c = 0; c < 4; ++c)
            out += c <= have ? kAlphabet[group >> (18 - 6 * c) & 0x3F] : '=';
    }
    return out;
}

std::string EncodeBase64Str(std::string_view data)
{
    return EncodeBase64(data.data(), data.size());
}

std::string DecodeBase64(const char* text, size_t length)
{
    std::string out;
    if (length % 4 != 0)
        return out;
    out.reserve(length / 4 * 3);
    for (size_t i = 0; i < length; i += 4) {
        uint32_t group = 0;
        for (size_t c = 0; c < 4; ++c) {
            const int value = kDecodeTable[static_cast<uint8_t>(text[i + c])];
            if (value == kNotInAlphabet) {
                // c characters carry 6 × c bits: whole bytes only.
                const size_t whole = 6 * c / 8;
                for (size_t b = 0; b < whole; ++b)
                    out += static_cast<char>(group >> (6 * c - 8 * (b + 1)) & 0xFF);
                return out;
            }
            group = group << 6 | static_cast<uint32_t>(value);
        }
        out += static_cast<char>(group >> 16);
        out += static_cast<char>(group >> 8 & 0xFF);
        out += static_cast<char>(group & 0xFF);
    }
    return out;
}

std::string DecodeBase64Str(std::string_view text)
{
    return DecodeBase64(text.data(), text.size());
}
