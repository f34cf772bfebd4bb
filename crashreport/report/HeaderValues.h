#pragma once
// The header fields' values as text, from what the gatherers found.
#include <cstdint>
#include <optional>
#include <string_view>

#include "ReportFacts.h"
#include "settings/Placeholders.h"

// "2009-03-14, 15:09:26, 53ms"
UnicodeString ReportDateTimeText(const TLocalTime& time);
// "2009-03-14 15:09"
UnicodeString FileDateTimeText(const TLocalTime& time);
// The two largest non-zero units of day, hour, minute and second: "1 day 3 hours",
// "5 minutes 1 second"; a negative duration counts as 0.
UnicodeString DurationText(int64_t seconds);
// Under a second: "750 milliseconds"; else as a duration.
UnicodeString ProgramUpTimeText(int64_t milliseconds);
// Each rounded to the nearest MB: "1023/2047 MB (free/total)".
UnicodeString PhysicalMemoryText(uint64_t freeBytes, uint64_t totalBytes);
// "processor" = name, or "processors" = count + "x " + name; none for an empty name.
std::optional<THeaderField> ProcessorField(std::u16string_view name, int count);
// "(C:) 12.34 GB"
UnicodeString DriveSpaceText(char16_t drive, int64_t freeBytes, char16_t decimalSeparator);
// "1024x768, 32 bit"
UnicodeString DisplayModeText(int width, int height, int bitsPerPixel);
// The user name, with "  <admin>" for a member of the administrators group.
UnicodeString UserNameText(std::u16string_view name, bool admin);
// The owner, with " / " + organisation when there is one.
UnicodeString RegisteredOwnerText(std::u16string_view owner, std::u16string_view organization);
// The message on one line, without control characters or surrounding blanks ("Unknown" when
// nothing is left); none when it equals the class name.
std::optional<UnicodeString> ExceptionMessageValue(std::u16string_view message, std::u16string_view className);
