#include "settings/SettingsResource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A settings resource written entry by entry.
class TResourceWriter {
public:
    TResourceWriter() { bytes_ = std::string("TPF0") + "\x0ATZelExcept" + "\x09zelExcept"; }

    TResourceWriter& Entry(const std::string& name, uint8_t type, const std::string& value = {})
    {
        bytes_ += static_cast<char>(name.size());
        bytes_ += name;
        bytes_ += static_cast<char>(type);
        bytes_ += value;
        return *this;
    }
    TResourceWriter& End()
    {
        bytes_ += std::string(2, '\0');
        return *this;
    }
    std::string Bytes() const { return bytes_; }

private:
    std::string bytes_;
};

std::string Le32(uint32_t value)
{
    std::string bytes(4, '\0');
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

TParsedSettings Parse(const std::string& bytes)
{
    return ParseSettingsResource({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
}

TEST(SettingsResource, EveryTypeByteBecomesItsRecord)
{
    const std::string wide("W\0\xAC\x20", 4); // "W€" in UTF-16LE
    const std::string bytes = TResourceWriter()
                                  .Entry("I8", 2, "\xFE")
                                  .Entry("I16", 3, std::string("\x00\x80", 2))
                                  .Entry("I32", 4, Le32(100000))
                                  .Entry("Short", 6, "\x03" "abc")
                                  .Entry("Ident", 7, "\x04" "\xC3\xA9t\xC3")
                                  .Entry("No", 8)
                                  .Entry("Yes", 9)
                                  .Entry("Long", 12, Le32(2) + "\xE9x")
                                  .Entry("Wide", 18, Le32(2) + wide)
                                  .Entry("Utf8", 20, Le32(3) + "\xE2\x82\xAC")
                                  .End()
                                  .Bytes();
    const TParsedSettings parsed = Parse(bytes);
    ASSERT_TRUE(parsed.headerValid);
    EXPECT_FALSE(parsed.badType);
    EXPECT_FALSE(parsed.truncated);
    ASSERT_EQ(parsed.records.size(), 10u);
    const auto& r = parsed.records;
    EXPECT_EQ(r[0].kind, TSettingKind::Integer);
    EXPECT_EQ(r[0].integer, -2);
    EXPECT_EQ(r[1].integer, -32768);
    EXPECT_EQ(r[2].integer, 100000);
    EXPECT_EQ(r[3].kind, TSettingKind::Text);
    EXPECT_EQ(r[3].text, u"abc");
    EXPECT_EQ(r[4].name, "Ident");
    EXPECT_EQ(r[4].kind, TSettingKind::Text);
    EXPECT_EQ(r[5].kind, TSettingKind::Boolean);
    EXPECT_FALSE(r[5].boolean);
    EXPECT_TRUE(r[6].boolean);
    EXPECT_EQ(r[7].text, u"\u00E9x"); // without a decoder ANSI reads as Latin-1
    EXPECT_EQ(r[8].text, u"W\u20AC");
    EXPECT_EQ(r[9].text, u"\u20AC");
}

TEST(SettingsResource, AnsiTextsGoThroughTheGivenDecoder)
{
    const std::string bytes = TResourceWriter().Entry("Long", 12, Le32(1) + "\x80").Entry("Short", 6, "\x01\x80").End().Bytes();
    const TParsedSettings parsed = ParseSettingsResource(
        {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()},
        [](std::string_view text) { return UnicodeString(text.size(), u'\u20AC'); });
    ASSERT_EQ(parsed.records.size(), 2u);
    EXPECT_EQ(parsed.records[0].text, u"\u20AC");
    EXPECT_EQ(parsed.records[1].text, u"\u20AC");
}

TEST(SettingsResource, AnUnknownTypeStopsTheReadingAndKeepsWhatCameBefore)
{
    for (const uint8_t type : {0, 1, 5, 10, 11, 13, 17, 19, 21, 0xFF}) {
        const std::string bytes = TResourceWriter().Entry("Enabled", 9).Entry("Odd", type, Le32(5)).Entry("After", 8).End().Bytes();
        const TParsedSettings parsed = Parse(bytes);
        ASSERT_EQ(parsed.records.size(), 1u) << int(type);
        EXPECT_EQ(parsed.records[0].name, "Enabled");
        ASSERT_TRUE(parsed.badType);
        EXPECT_EQ(*parsed.badType, type);
    }
    EXPECT_EQ(InvalidSettingsResourceText(0x15), "Internal error: Invalid settings resource ($15).");
    EXPECT_EQ(InvalidSettingsResourceText(5), "Internal error: Invalid settings resource ($5).");
    EXPECT_EQ(InvalidSettingsResourceText(0xFF), "Internal error: Invalid settings resource ($ff).");
}

TEST(SettingsResource, ReadingNeverPassesTheEndOfTheData)
{
    const std::string whole = TResourceWriter()
                                  .Entry("First", 4, Le32(7))
                                  .Entry("Text", 12, Le32(5) + "hello")
                                  .Entry("Wide", 18, Le32(1) + std::string("A\0", 2))
                                  .End()
                                  .Bytes();
    for (size_t length = 25; length < whole.size() - 1; ++length) {
        const TParsedSettings parsed = Parse(whole.substr(0, length));
        EXPECT_TRUE(parsed.headerValid);
        EXPECT_TRUE(parsed.truncated) << length;
        EXPECT_LE(parsed.records.size(), 3u);
    }
    // A length that claims more than there is.
    const TParsedSettings huge = Parse(TResourceWriter().Entry("First", 4, Le32(7)).Entry("Big", 12, Le32(0xFFFFFFF0) + "x").Bytes());
    ASSERT_EQ(huge.records.size(), 1u);
    EXPECT_TRUE(huge.truncated);
}

TEST(SettingsResource, AWrongHeaderGivesNoRecords)
{
    std::string bytes = TResourceWriter().Entry("Enabled", 9).End().Bytes();
    EXPECT_TRUE(Parse(bytes).headerValid);
    for (const size_t at : {0u, 4u, 7u, 15u, 20u}) {
        std::string broken = bytes;
        broken[at] ^= 0x20;
        const TParsedSettings parsed = Parse(broken);
        EXPECT_FALSE(parsed.headerValid) << at;
        EXPECT_TRUE(parsed.records.empty());
    }
    EXPECT_FALSE(Parse("TPF0").headerValid);
    EXPECT_FALSE(Parse("").headerValid);
}

} // namespace
