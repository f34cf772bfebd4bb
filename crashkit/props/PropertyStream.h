#pragma once
// Bounded reader of streamed property lists ("TPF0", then objects of named, typed values), the
// format of the library's form and settings resources. Every length is checked against the
// data: a value that would run past the end, or an unknown type byte, stops the reading.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "text/ZelTypes.h"

enum class TPropertyType : uint8_t {
    Int8 = 2,
    Int16 = 3,
    Int32 = 4,
    ShortString = 6, // length byte + ANSI
    Ident = 7,       // length byte + UTF-8
    False = 8,
    True = 9,
    LongString = 12, // 32-bit length + ANSI
    WideString = 18, // 32-bit length in characters + UTF-16LE
    Utf8String = 20, // 32-bit length + UTF-8
};

enum class TPropertyKind : uint8_t { Text, Integer, Boolean };

// One property as read; the views point into the stream's data.
struct TStreamProperty {
    std::string_view name;
    TPropertyType type = TPropertyType::False;
    int32_t number = 0;    // integers sign-extended; booleans 0 or 1
    std::string_view text; // the bytes of a text value (UTF-16LE for WideString)

    TPropertyKind Kind() const;
    // Text values as UTF-16: ANSI ones widened byte by byte (callers that know the system
    // code page convert `text` themselves), integers in decimal, booleans "0" or "1".
    UnicodeString WideText() const;
};

enum class TPropertyRead : uint8_t {
    Property, // one property was read
    ListEnd,  // the 0 byte that ends a list was read
    Overrun,  // the data ends inside the entry
    BadType,  // an unknown type byte; BadTypeByte() tells which
};

class TPropertyStream {
public:
    explicit TPropertyStream(std::span<const uint8_t> data) : data_(data) {}

    // "TPF0" at the current position.
    bool ReadSignature();
    // Length byte + text (class and object names).
    bool ReadShortString(std::string_view& text);
    TPropertyRead ReadProperty(TStreamProperty& property);
    // Consumes the 0 byte that ends a list of child objects; false (nothing consumed) when
    // another object follows or the data has ended.
    bool ReadListEnd();

    bool AtEnd() const { return position_ >= data_.size(); }
    size_t Position() const { return position_; }
    uint8_t BadTypeByte() const { return badType_; }

private:
    bool ReadBytes(size_t count, std::string_view& bytes);
    bool ReadByte(uint8_t& value);
    bool ReadLength32(uint32_t& value);
    bool ReadValue(TStreamProperty& property);

    std::span<const uint8_t> data_;
    size_t position_ = 0;
    uint8_t badType_ = 0;
};
