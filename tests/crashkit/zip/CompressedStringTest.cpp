#include "zip/CompressedString.h"

#include <gtest/gtest.h>

#include <string>

namespace {

void SetLe32(std::string& bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

TEST(CompressedString, RoundTripsWithItsHeader)
{
    const std::string data = std::string(3000, 'x') + "tail";
    const std::string packed = CompressStr(data);
    ASSERT_GT(packed.size(), 12u);
    EXPECT_EQ(std::string("\xBC\x0B\0\0", 4), packed.substr(0, 4)); // 3004, little-endian
    EXPECT_EQ(data, UncompressStr(packed));
}

TEST(CompressedString, TooShortGivesNothing)
{
    EXPECT_EQ("", UncompressStr(""));
    EXPECT_EQ("", UncompressStr(std::string(12, '\0')));
}

TEST(CompressedString, WrongCrcGivesNothing)
{
    std::string packed = CompressStr("some text worth keeping");
    packed[8] = static_cast<char>(packed[8] ^ 1);
    EXPECT_EQ("", UncompressStr(packed));
}

TEST(CompressedString, DataLongerThanTheHeaderSaysIsRefused)
{
    std::string packed = CompressStr(std::string(5000, 'a'));
    SetLe32(packed, 0, 4999);
    EXPECT_EQ("", UncompressStr(packed));
}

TEST(CompressedString, HugeClaimedLengthCostsOnlyTheRealData)
{
    // 4 GB claimed by a string of a few bytes: no allocation of the claim, the data comes back.
    std::string packed = CompressStr("tiny");
    SetLe32(packed, 0, 0xFFFFFFFF);
    EXPECT_EQ("tiny", UncompressStr(packed));
}

} // namespace
