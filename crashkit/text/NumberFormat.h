#pragma once
// Numbers as text without the runtime's locale. len is a signed minimum length: from 1 the
// text is padded on the left, at 0 or below on the right to |len|; a "-" stays in front of
// a left padding of digits. Hexadecimal is "$" + lower-case digits without leading zeros.
#include <cstdint>
#include <string_view>

#include "text/ZelTypes.h"

void PadStrA(AnsiString& text, int len, char fill);
void PadStrW(UnicodeString& text, int len, char16_t fill);

AnsiString IntToDecA(int32_t value, int len, char fill);
UnicodeString IntToDecW(int32_t value, int len, char16_t fill);
AnsiString UIntToDecA(uint32_t value, int len, char fill);
UnicodeString UIntToDecW(uint32_t value, int len, char16_t fill);
AnsiString Int64ToDecA(int64_t value, int len, char fill);
UnicodeString Int64ToDecW(int64_t value, int len, char16_t fill);

// With len >= 0 and a fill that is no hex digit the fill goes in front of the "$" (which
// does not count towards len); otherwise the digits are padded and "$" put in front.
AnsiString IntToHexStrA(uint32_t value, int len, char fill);
UnicodeString IntToHexStrW(uint32_t value, int len, char16_t fill);
AnsiString Int64ToHexStrA(uint64_t value, int len, char fill);

AnsiString IntToStrA(int32_t value);
UnicodeString IntToStrW(int32_t value);
AnsiString Int64ToStrA(int64_t value);
UnicodeString Int64ToStrW(int64_t value);

AnsiString DWordToHexA(uint32_t value);
UnicodeString DWordToHexW(uint32_t value);
// The high half when not 0, then the low half as 8 digits.
AnsiString QWordToHexA(uint64_t value);

// " Bytes" below 1 KB, else KB, MB or GB with two decimals (truncated) after the separator.
// The magnitude is used, the most negative value included.
UnicodeString SizeToStrW(int64_t bytes, char16_t decimalSeparator);

// A leading "-" negates; every other character adds its hex-digit value (0 for a non-digit)
// in base 16 or 10. Wraps around on overflow.
int32_t DigitsToIntA(bool hex, std::string_view characters);
int32_t DigitsToIntW(bool hex, std::u16string_view characters);

UnicodeString BoolToSignW(bool value);
