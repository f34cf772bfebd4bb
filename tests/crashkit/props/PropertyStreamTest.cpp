#include "props/PropertyStream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// Writes streams the way the resource tools do.
class TStreamBuilder {
public:
    TStreamBuilder& Raw(std::string_view bytes)
    {
        for (const char byte : bytes)
            data.push_back(static_cast<uint8_t>(byte));
        return *this;
    }
    TStreamBuilder& Byte(uint8_t value)
    {
        data.push_back(value);
        return *this;
    }
    TStreamBuilder& Le32(uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            data.push_back(static_cast<uint8_t>(value >> (8 * i)));
        return *this;
    }
    TStreamBuilder& Short(std::string_view text) { return Byte(static_cast<uint8_t>(text.size())).Raw(text); }
    TStreamBuilder& Name(std::string_view name, TPropertyType type)
    {
        return Short(name).Byte(static_cast<uint8_t>(type));
    }

    std::vector<uint8_t> data;
};

std::string Narrow(const UnicodeString& text)
{
    return std::string(text.begin(), text.end());
}

std::vector<uint8_t> EveryType()
{
    TStreamBuilder b;
    b.Raw("TPF0").Short("TZelExcept").Short("zelExcept");
    b.Name("I8", TPropertyType::Int8).Byte(0xFF);
    b.Name("I16", TPropertyType::Int16).Byte(0xFE).Byte(0xFF);
    b.Name("I32", TPropertyType::Int32).Le32(0x12345678);
    b.Name("S", TPropertyType::ShortString).Short("ab\xE9");
    b.Name("Id", TPropertyType::Ident).Short("zelExcept.Handle");
    b.Name("F", TPropertyType::False);
    b.Name("T", TPropertyType::True);
    b.Name("L", TPropertyType::LongString).Le32(3).Raw("x%y");
    b.Name("W", TPropertyType::WideString).Le32(2).Byte(0xAC).Byte(0x20).Byte('z').Byte(0);
    b.Name("U", TPropertyType::Utf8String).Le32(3).Raw("\xE2\x82\xAC");
    b.Byte(0);
    return b.data;
}

TEST(PropertyStream, ReadsEveryTypeWithItsValue)
{
    const std::vector<uint8_t> data = EveryType();
    TPropertyStream stream(data);
    std::string_view className;
    std::string_view objectName;
    ASSERT_TRUE(stream.ReadSignature());
    ASSERT_TRUE(stream.ReadShortString(className));
    ASSERT_TRUE(stream.ReadShortString(objectName));
    EXPECT_EQ("TZelExcept", className);
    EXPECT_EQ("zelExcept", objectName);

    struct TExpected {
        const char* name;
        TPropertyKind kind;
        int32_t number;
        std::u16string wide;
    };
    const TExpected expected[] = {
        {"I8", TPropertyKind::Integer, -1, u"-1"},
        {"I16", TPropertyKind::Integer, -2, u"-2"},
        {"I32", TPropertyKind::Integer, 0x12345678, u"305419896"},
        {"S", TPropertyKind::Text, 0, u"ab\u00E9"},
        {"Id", TPropertyKind::Text, 0, u"zelExcept.Handle"},
        {"F", TPropertyKind::Boolean, 0, u"0"},
        {"T", TPropertyKind::Boolean, 1, u"1"},
        {"L", TPropertyKind::Text, 0, u"x%y"},
        {"W", TPropertyKind::Text, 0, u"\u20ACz"},
        {"U", TPropertyKind::Text, 0, u"\u20AC"},
    };
    TStreamProperty property;
    for (const TExpected& e : expected) {
        ASSERT_EQ(TPropertyRead::Property, stream.ReadProperty(property)) << e.name;
        EXPECT_EQ(e.name, property.name);
        EXPECT_EQ(e.kind, property.Kind()) << e.name;
        EXPECT_EQ(e.number, property.number) << e.name;
        EXPECT_EQ(e.wide, property.WideText()) << e.name;
    }
    EXPECT_EQ(TPropertyRead::ListEnd, stream.ReadProperty(property));
    EXPECT_TRUE(stream.AtEnd());
}

TEST(PropertyStream, EveryUnknownTypeStopsWithThatType)
{
    for (int type = 0; type < 256; ++type) {
        if (type == 2 || type == 3 || type == 4 || type == 6 || type == 7 || type == 8 || type == 9 ||
            type == 12 || type == 18 || type == 20)
            continue;
        TStreamBuilder b;
        b.Short("Good").Byte(9).Short("Bad").Byte(static_cast<uint8_t>(type)).Le32(0).Byte(0);
        TPropertyStream stream(b.data);
        TStreamProperty property;
        EXPECT_EQ(TPropertyRead::Property, stream.ReadProperty(property));
        EXPECT_EQ(TPropertyRead::BadType, stream.ReadProperty(property)) << type;
        EXPECT_EQ(type, stream.BadTypeByte());
    }
}

TEST(PropertyStream, EveryTruncationIsAnOverrunNeverARead)
{
    const std::vector<uint8_t> full = EveryType();
    for (size_t size = 25; size < full.size(); ++size) {
        const std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<ptrdiff_t>(size));
        TPropertyStream stream(cut);
        std::string_view skipped;
        ASSERT_TRUE(stream.ReadSignature() && stream.ReadShortString(skipped) && stream.ReadShortString(skipped));
        TStreamProperty property;
        TPropertyRead read;
        while ((read = stream.ReadProperty(property)) == TPropertyRead::Property) {
            const auto* first = reinterpret_cast<const char*>(cut.data());
            EXPECT_LE(property.text.data() + property.text.size(), first + cut.size());
        }
        EXPECT_EQ(TPropertyRead::Overrun, read) << size;
    }
}

TEST(PropertyStream, LengthsBeyondTheDataAreOverruns)
{
    // Counts that would wrap a 32-bit size when doubled or added must not.
    for (const uint32_t length : {0x80000000u, 0x80000001u, 0xFFFFFFFFu, 6u}) {
        for (const TPropertyType type :
             {TPropertyType::WideString, TPropertyType::LongString, TPropertyType::Utf8String}) {
            TStreamBuilder b;
            b.Name("X", type).Le32(length).Raw("abcd").Byte(0);
            TPropertyStream stream(b.data);
            TStreamProperty property;
            EXPECT_EQ(TPropertyRead::Overrun, stream.ReadProperty(property))
                << length << " " << static_cast<int>(type);
        }
    }
    TStreamBuilder shortName;
    shortName.Byte(200).Raw("abc");
    TPropertyStream stream(shortName.data);
    TStreamProperty property;
    EXPECT_EQ(TPropertyRead::Overrun, stream.ReadProperty(property));
}

TEST(PropertyStream, SignatureAndObjectListEnds)
{
    TStreamBuilder wrong;
    wrong.Raw("TPF1");
    EXPECT_FALSE(TPropertyStream(wrong.data).ReadSignature());
    TStreamBuilder shortSig;
    shortSig.Raw("TPF");
    EXPECT_FALSE(TPropertyStream(shortSig.data).ReadSignature());

    TStreamBuilder children;
    children.Short("TNVEdit").Short("Name").Byte(0).Byte(0);
    TPropertyStream stream(children.data);
    EXPECT_FALSE(stream.ReadListEnd()) << "an object follows";
    std::string_view className;
    std::string_view objectName;
    ASSERT_TRUE(stream.ReadShortString(className) && stream.ReadShortString(objectName));
    TStreamProperty property;
    EXPECT_EQ(TPropertyRead::ListEnd, stream.ReadProperty(property));
    EXPECT_TRUE(stream.ReadListEnd());
    EXPECT_FALSE(stream.ReadListEnd()) << "nothing left";
    EXPECT_EQ(TPropertyRead::Overrun, stream.ReadProperty(property));
}

TEST(PropertyStream, EmptyTextsAndNarrowNames)
{
    TStreamBuilder b;
    b.Name("E", TPropertyType::LongString).Le32(0).Name("N", TPropertyType::ShortString).Byte(0);
    TPropertyStream stream(b.data);
    TStreamProperty property;
    ASSERT_EQ(TPropertyRead::Property, stream.ReadProperty(property));
    EXPECT_EQ("", Narrow(property.WideText()));
    ASSERT_EQ(TPropertyRead::Property, stream.ReadProperty(property));
    EXPECT_EQ("N", property.name);
    EXPECT_TRUE(property.text.empty());
    EXPECT_EQ(TPropertyRead::Overrun, stream.ReadProperty(property));
}

} // namespace
