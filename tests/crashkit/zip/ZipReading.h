#pragma once
// Reads back what the zip writer made, the way an unzip program does: through the end
// record and the central directory.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "zip/Deflate.h"

namespace {

inline uint32_t Le(const std::string& bytes, size_t offset, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<uint8_t>(bytes[offset + i]);
    return value;
}

struct TMember {
    std::string name;
    uint16_t flags, method, time, date;
    uint32_t crc, compressedSize, size, attributes, offset;
};

// Reads the central directory through the end record, as an unzip program does.
inline std::vector<TMember> CentralDirectory(const std::string& archive)
{
    const size_t end = archive.size() - 22;
    EXPECT_EQ(0x06054B50u, Le(archive, end, 4));
    const uint32_t count = Le(archive, end + 10, 2);
    EXPECT_EQ(count, Le(archive, end + 8, 2));
    size_t at = Le(archive, end + 16, 4);
    EXPECT_EQ(end, at + Le(archive, end + 12, 4));
    std::vector<TMember> members;
    for (uint32_t i = 0; i < count; ++i) {
        EXPECT_EQ(0x02014B50u, Le(archive, at, 4));
        const uint32_t nameLength = Le(archive, at + 28, 2);
        members.push_back({archive.substr(at + 46, nameLength), static_cast<uint16_t>(Le(archive, at + 8, 2)),
                           static_cast<uint16_t>(Le(archive, at + 10, 2)), static_cast<uint16_t>(Le(archive, at + 12, 2)),
                           static_cast<uint16_t>(Le(archive, at + 14, 2)), Le(archive, at + 16, 4),
                           Le(archive, at + 20, 4), Le(archive, at + 24, 4), Le(archive, at + 38, 4),
                           Le(archive, at + 42, 4)});
        at += 46 + nameLength;
    }
    return members;
}

inline std::string MemberData(const std::string& archive, const TMember& member)
{
    EXPECT_EQ(0x04034B50u, Le(archive, member.offset, 4));
    EXPECT_EQ(member.crc, Le(archive, member.offset + 14, 4));
    const size_t dataAt = member.offset + 30 + Le(archive, member.offset + 26, 2);
    std::string data(member.size, '\0');
    const auto length = Uncompress(archive.data() + dataAt, data.data(), member.compressedSize, data.size());
    EXPECT_EQ(std::optional<uint64_t>(member.size), length);
    return data;
}

} // namespace
