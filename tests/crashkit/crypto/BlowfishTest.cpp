#include "crypto/Blowfish.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string FromHex(const std::string& hex)
{
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

struct TVector {
    const char* key;
    const char* plain;
    const char* cipher;
};

// From the published test vectors of the algorithm.
constexpr TVector kPublishedVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
};

TEST(Blowfish, PublishedVectorsInStandardByteOrder)
{
    for (const TVector& vector : kPublishedVectors) {
        std::string data = FromHex(vector.plain);
        ASSERT_TRUE(BlowfishCrypt(data.data(), data.size(), true, false, 0, FromHex(vector.key)));
        EXPECT_EQ(FromHex(vector.cipher), data) << vector.key;
        ASSERT_TRUE(BlowfishCrypt(data.data(), data.size(), false, false, 0, FromHex(vector.key)));
        EXPECT_EQ(FromHex(vector.plain), data) << vector.key;
    }
}

TEST(Blowfish, RawByteOrderSwapsEachHalf)
{
    const std::string key = "raw order key";
    std::string raw = FromHex("8877665544332211");
    ASSERT_TRUE(EncryptRaw(raw, key));
    std::string standard = FromHex("5566778811223344");
    ASSERT_TRUE(BlowfishCrypt(standard.data(), 8, true, false, 0, key));
    const auto swapHalves = [](std::string s) {
        std::reverse(s.begin(), s.begin() + 4);
        std::reverse(s.begin() + 4, s.end());
        return s;
    };
    EXPECT_EQ(swapHalves(standard), raw);
    ASSERT_TRUE(DecryptRaw(raw, key));
    EXPECT_EQ(FromHex("8877665544332211"), raw);
}

TEST(Blowfish, OnlyWholeBlocksChange)
{
    std::string data = "0123456789AB";
    ASSERT_TRUE(BlowfishCrypt(data.data(), data.size(), true, false, 0, "key"));
    EXPECT_NE("01234567", data.substr(0, 8));
    EXPECT_EQ("89AB", data.substr(8));
}

TEST(Blowfish, CounterModeUndoesItselfAndStepsTheCounterFirst)
{
    const std::string key = "counter key";
    const uint64_t iv = 0xFF00000000000000; // bytes 00 .. 00 FF: the first step carries
    const std::string plain = "twenty-four bytes here!!";
    std::string data = plain;
    ASSERT_TRUE(BlowfishCrypt(data.data(), data.size(), true, false, iv, key));
    EXPECT_NE(plain, data);
    std::string decrypted = data;
    ASSERT_TRUE(BlowfishCrypt(decrypted.data(), decrypted.size(), false, false, iv, key));
    EXPECT_EQ(plain, decrypted);

    // The first keystream block is the enciphered counter 00 .. 01 00.
    std::string counter = FromHex("0000000000000100");
    ASSERT_TRUE(BlowfishCrypt(counter.data(), 8, true, false, 0, key));
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(static_cast<char>(plain[i] ^ counter[i]), data[i]) << i;
}

TEST(Blowfish, EmptyKeyIsRefused)
{
    std::string data = "01234567";
    EXPECT_FALSE(BlowfishCrypt(data.data(), data.size(), true, false, 0, ""));
    EXPECT_EQ("01234567", data);
    EXPECT_FALSE(DecryptStr(data, "", 0));
}

TEST(Blowfish, DecryptStrRemovesOnlyValidPadding)
{
    const std::string key = "padding key";
    const auto encrypted = [&](std::string plain) {
        EXPECT_TRUE(BlowfishCrypt(plain.data(), plain.size(), true, false, 0, key));
        return plain;
    };
    std::string padded = encrypted(std::string("hello") + "\x03\x03\x03");
    ASSERT_TRUE(DecryptStr(padded, key, 0));
    EXPECT_EQ("hello", padded);

    std::string fullBlock = encrypted(std::string(8, '\x08'));
    ASSERT_TRUE(DecryptStr(fullBlock, key, 0));
    EXPECT_EQ("", fullBlock);

    for (const char last : {'\x00', '\x09', '\x02'}) {
        const std::string plain = std::string("1234567") + last;
        std::string data = encrypted(plain);
        ASSERT_TRUE(DecryptStr(data, key, 0));
        EXPECT_EQ(plain, data) << int(last); // 0, above 8, or 2 after a 7: no padding
    }
}

TEST(Blowfish, DecryptStrInCounterModeRemovesPadding)
{
    const std::string key = "ctr key";
    std::string data = std::string("abcdef") + "\x02\x02";
    ASSERT_TRUE(BlowfishCrypt(data.data(), data.size(), true, false, 7, key));
    ASSERT_TRUE(DecryptStr(data, key, 7));
    EXPECT_EQ("abcdef", data);
}

} // namespace
