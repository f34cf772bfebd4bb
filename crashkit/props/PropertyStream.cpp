#include "props/PropertyStream.h"

#include <string>

#include "text/Utf.h"

namespace {

bool IsKnownType(uint8_t type)
{
    switch (static_cast<TPropertyType>(type)) {
    case TPropertyType::Int8:
    case TPropertyType::Int16:
    case TPropertyType::Int32:
    case TPropertyType::ShortString:
    case TPropertyType::Ident:
    case TPropertyType::False:
    case TPropertyType::True:
    case TPropertyType::LongString:
    case TPropertyType::WideString:
    case TPropertyType::Utf8String:
        return true;
    }
    return false;
}

uint32_t LittleEndian(std::string_view bytes)
{
    uint32_t value = 0;
    for (size_t i = bytes.size(); i-- > 0;)
        value = (value << 8) | static_cast<uint8_t>(bytes[i]);
    return value;
}

UnicodeString DecimalText(int32_t number)
{
    const std::string digits = std::to_string(number);
    return UnicodeString(digits.begin(), digits.end());
}

UnicodeString Latin1Text(std::string_view bytes)
{
    UnicodeString text(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        text[i] = static_cast<uint8_t>(bytes[i]);
    return text;
}

UnicodeString Utf16LeText(std::string_view bytes)
{
    UnicodeString text(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(LittleEndian(bytes.substr(2 * i, 2)));
    return text;
}

} // namespace

TPropertyKind TStreamProperty::Kind() const
{
    switch (type) {
    case TPropertyType::Int8:
    case TPropertyType::Int16:
    case TPropertyType::Int32:
        return TPropertyKind::Integer;
    case TPropertyType::False:
    case TPropertyType::True:
        return TPropertyKind::Boolean;
    default:
        return TPropertyKind::Text;
    }
}

UnicodeString TStreamProperty::WideText() const
{
    switch (type) {
    case TPropertyType::Ident:
    case TPropertyType::Utf8String:
        return UTF8ToWide(text);
    case TPropertyType::WideString:
        return Utf16LeText(text);
    case TPropertyType::ShortString:
    case TPropertyType::LongString:
        return Latin1Text(text);
    default:
        return DecimalText(number);
    }
}

bool TPropertyStream::ReadBytes(size_t count, std::string_view& bytes)
{
    if (count > data_.size() - position_)
        return false;
    bytes = std::string_view(reinterpret_cast<const char*>(data_.data()) + position_, count);
    position_ += count;
    return true;
}

bool TPropertyStream::ReadByte(uint8_t& value)
{
    std::string_view byte;
    if (!ReadBytes(1, byte))
        return false;
    value = static_cast<uint8_t>(byte[0]);
    return true;
}

bool TPropertyStream::ReadLength32(uint32_t& value)
{
    std::string_view bytes;
    if (!ReadBytes(4, bytes))
        return false;
    value = LittleEndian(bytes);
    return true;
}

bool TPropertyStream::ReadSignature()
{
    std::string_view signature;
    return ReadBytes(4, signature) && signature == "TPF0";
}

bool TPropertyStream::ReadShortString(std::string_view& text)
{
    uint8_t length = 0;
    return ReadByte(length) && ReadBytes(length, text);
}

bool TPropertyStream::ReadListEnd()
{
    if (AtEnd() || data_[position_] != 0)
        return false;
    ++position_;
    return true;
}

bool TPropertyStream::ReadValue(TStreamProperty& property)
{
    std::string_view bytes;
    uint32_t length = 0;
    switch (property.type) {
    case TPropertyType::Int8:
        if (!ReadBytes(1, bytes))
            return false;
        property.number = static_cast<int8_t>(bytes[0]);
        return true;
    case TPropertyType::Int16:
        if (!ReadBytes(2, bytes))
            return false;
        property.number = static_cast<int16_t>(LittleEndian(bytes));
        return true;
    case TPropertyType::Int32:
        if (!ReadBytes(4, bytes))
            return false;
        property.number = static_cast<int32_t>(LittleEndian(bytes));
        return true;
    case TPropertyType::False:
    case TPropertyType::True:
        property.number = property.type == TPropertyType::True ? 1 : 0;
        return true;
    case TPropertyType::ShortString:
    case TPropertyType::Ident:
        return ReadShortString(property.text);
    case TPropertyType::WideString:
        // A count of characters: checked against the bytes left before doubling it, so a
        // huge count cannot wrap around on 32-bit builds.
        if (!ReadLength32(length) || length > (data_.size() - position_) / 2)
            return false;
        return ReadBytes(size_t{length} * 2, property.text);
    case TPropertyType::LongString:
    case TPropertyType::Utf8String:
        return ReadLength32(length) && ReadBytes(length, property.text);
    }
    return false;
}

TPropertyRead TPropertyStream::ReadProperty(TStreamProperty& property)
{
    property = TStreamProperty();
    uint8_t nameLength = 0;
    if (!ReadByte(nameLength))
        return TPropertyRead::Overrun;
    if (nameLength == 0)
        return TPropertyRead::ListEnd;
    uint8_t type = 0;
    if (!ReadBytes(nameLength, property.name) || !ReadByte(type))
        return TPropertyRead::Overrun;
    if (!IsKnownType(type)) {
        badType_ = type;
        return TPropertyRead::BadType;
    }
    property.type = static_cast<TPropertyType>(type);
    return ReadValue(property) ? TPropertyRead::Property : TPropertyRead::Overrun;
}
