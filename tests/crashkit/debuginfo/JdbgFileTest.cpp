#include "debuginfo/JdbgFile.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr uint64_t kCode = 0x10001000;

void Dword(std::string& out, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

void Varint(std::string& out, uint32_t value)
{
    do {
        const uint8_t low = value & 0x7F;
        value >>= 7;
        out += static_cast<char>(value ? low | 0x80 : low);
    } while (value);
}

// A names area with one XORed and one packed name; their offsets.
constexpr uint32_t kXoredAt = 0;
constexpr uint32_t kPackedAt = 8;

std::string Names()
{
    std::string names;
    names += '\1';
    for (char c : std::string("Unit1"))
        names += static_cast<char>(c ^ 0xAA);
    names += '\0';
    names.resize(kPackedAt);
    // "Run_9": codes R=28, u=57, n=50, _=63, 9=10, then 0.
    const uint32_t codes[] = {28, 57, 50, 63, 10, 0, 0, 0};
    names += '\2';
    for (int group = 0; group < 2; ++group) {
        const uint32_t bits = codes[4 * group] | codes[4 * group + 1] << 6 | codes[4 * group + 2] << 12 | codes[4 * group + 3] << 18;
        names += static_cast<char>(bits & 0xFF);
        names += static_cast<char>(bits >> 8 & 0xFF);
        names += static_cast<char>(bits >> 16 & 0xFF);
    }
    return names;
}

std::string Sample(bool checked)
{
    std::string data(36, '\0');
    Dword(data, 0, 0x4742444A);
    data[4] = 1;
    Dword(data, 9, static_cast<uint32_t>(data.size()));
    // Units {address, name}: Unit1 at 0x0, a second at 0x80 named like it.
    for (uint32_t value : {0u, kXoredAt, 0x80u, 0u, 0x7FFFFFFFu})
        Varint(data, value);
    Dword(data, 13, static_cast<uint32_t>(data.size()));
    // Publics {address, unit, name}.
    for (uint32_t value : {0x10u, kXoredAt, kPackedAt, 0x7FFFFFFFu})
        Varint(data, value);
    Dword(data, 17, static_cast<uint32_t>(data.size()));
    // Lines {address, line}: 0x10 line 7, 0x300 line 9 (deltas).
    for (uint32_t value : {0x10u, 7u, 0x2F0u, 2u, 0x7FFFFFFFu})
        Varint(data, value);
    Dword(data, 21, static_cast<uint32_t>(data.size()));
    data += Names();
    data.resize((data.size() + 3) / 4 * 4);
    if (checked) {
        data[33] = 1;
        uint32_t sum = 0;
        for (size_t at = 0; at < data.size(); at += 4)
            sum += static_cast<uint8_t>(data[at]) | static_cast<uint8_t>(data[at + 1]) << 8 |
                   static_cast<uint8_t>(data[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(data[at + 3])) << 24;
        Dword(data, 29, sum); // with the check in place the rotated difference equals it
    }
    return data;
}

TMapFile EmptyMap()
{
    TMapFile map;
    map.SetLayout({kCode, kCode + 0x1000, 0, 0, 0});
    return map;
}

TEST(JdbgFile, ReadsUnitsPublicsAndLines)
{
    for (bool checked : {false, true}) {
        TMapFile map = EmptyMap();
        ASSERT_TRUE(LoadJdbg(Sample(checked), map)) << checked;
        ASSERT_EQ(map.Segments().size(), 2u);
        EXPECT_EQ(map.Segments()[0].unitName, u"Unit1");
        EXPECT_EQ(map.Segments()[0].length, 0x80u);
        EXPECT_EQ(map.Segments()[1].End(), kCode + 0x1000); // the last unit reaches the code end
        ASSERT_EQ(map.Publics().size(), 1u);
        EXPECT_EQ(map.Publics()[0].name, u"@Run_9");
        EXPECT_EQ(map.Publics()[0].address, kCode + 0x10);
        ASSERT_EQ(map.Lines().size(), 2u);
        EXPECT_EQ(map.Lines()[1].line, 9);
        EXPECT_EQ(map.Lines()[1].address, kCode + 0x300);
    }
}

TEST(JdbgFile, RejectsWrongSizeSignatureVersionAndCheck)
{
    TMapFile map = EmptyMap();
    EXPECT_FALSE(LoadJdbg(Sample(false) + "x", map)); // not a multiple of 4
    EXPECT_FALSE(LoadJdbg(Sample(false).substr(0, 32), map));
    std::string version = Sample(false);
    version[4] = 2;
    EXPECT_FALSE(LoadJdbg(version, map));
    std::string check = Sample(true);
    check[40] ^= 1;
    EXPECT_FALSE(LoadJdbg(check, map));
    EXPECT_TRUE(map.Segments().empty());
}

TEST(JdbgFile, PositionsOutsideTheDataEndTables)
{
    std::string data = Sample(false);
    Dword(data, 9, 0xFFFFFFF0);  // units beyond the end
    Dword(data, 21, 0xFFFFFFF0); // names beyond the end
    TMapFile map = EmptyMap();
    ASSERT_TRUE(LoadJdbg(data, map));
    EXPECT_TRUE(map.Segments().empty());
    ASSERT_EQ(map.Publics().size(), 1u);
    EXPECT_TRUE(map.Publics()[0].name.empty());

    // A table without its end mark stops at the data's end.
    std::string open = Sample(false);
    open.resize(open.size() - 4);
    open += std::string(4, '\x80');
    Dword(open, 17, static_cast<uint32_t>(open.size() - 4));
    TMapFile other = EmptyMap();
    EXPECT_TRUE(LoadJdbg(open, other));
    EXPECT_TRUE(other.Lines().empty());
}

} // namespace
