#pragma once
// Placeholders in setting texts ("%appname%", "%date%", ...), replaced in one pass: text put in
// for one placeholder is never searched again, so a value that holds "%...%" stays as it is.
#include <cstdint>
#include <string_view>

#include "text/ZelTypes.h"

enum class TPlaceholder : uint8_t {
    AppName, ModName, AppVersion, ModVersion, ExceptClass, ExceptMsg, BugReport, LineFeed,
    Date, Time, DateTime, ComputerName, Os, ErrorDetails, Desktop, UserAppData, CommonAppData,
};

// Where the values come from; each is asked for only when its placeholder occurs.
class IPlaceholderValues {
public:
    virtual ~IPlaceholderValues() = default;
    virtual UnicodeString Value(TPlaceholder placeholder) = 0;
};

// Matched without regard to case.
UnicodeString ExpandPlaceholders(std::u16string_view text, IPlaceholderValues& values);

struct TLocalTime {
    uint16_t year, month, day, hour, minute, second, milliseconds;
};
// "2024-03-07"
UnicodeString FormatPlaceholderDate(const TLocalTime& time);
// "09:05:03, 7ms"
UnicodeString FormatPlaceholderTime(const TLocalTime& time);
