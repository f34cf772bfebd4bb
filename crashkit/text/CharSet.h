#pragma once
// A set of 8-bit characters; a UTF-16 character above 255 is never a member.
#include <bitset>
#include <string_view>

class TCharSet {
public:
    TCharSet() = default;
    explicit TCharSet(std::string_view members)
    {
        for (const char c : members)
            bits_.set(static_cast<unsigned char>(c));
    }

    void Add(unsigned char c) { bits_.set(c); }
    bool Contains(char c) const { return bits_.test(static_cast<unsigned char>(c)); }
    bool Contains(char16_t c) const { return c < 256 && bits_.test(c); }

private:
    std::bitset<256> bits_;
};
