#include "zip/Crc32.h"

#include <gtest/gtest.h>

#include <string>

namespace {

uint32_t Crc32Of(const std::string& data)
{
    return ~UpdateCrc32(0xFFFFFFFF, data.data(), static_cast<int64_t>(data.size()));
}

TEST(Crc32, GivesThePublishedCheckValue)
{
    EXPECT_EQ(0xCBF43926u, Crc32Of("123456789"));
    EXPECT_EQ(0u, Crc32Of(""));
}

TEST(Crc32, ContinuesAcrossPieces)
{
    const std::string data = "The quick brown fox jumps over the lazy dog";
    uint32_t running = 0xFFFFFFFF;
    running = UpdateCrc32(running, data.data(), 10);
    running = UpdateCrc32(running, data.data() + 10, static_cast<int64_t>(data.size() - 10));
    EXPECT_EQ(0x414FA339u, ~running);
}

TEST(Crc32, LengthBelowOneLeavesTheRunningValue)
{
    EXPECT_EQ(0x12345678u, UpdateCrc32(0x12345678, "abc", 0));
    EXPECT_EQ(0x12345678u, UpdateCrc32(0x12345678, "abc", -5));
}

} // namespace
