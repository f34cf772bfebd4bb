#include "HeaderValues.h"

#include <array>

#include "ReportText.h"
#include "text/NumberFormat.h"
#include "text/TextEdit.h"

namespace {

struct TDurationUnit {
    const char16_t* name;
    int64_t seconds;
};

constexpr std::array<TDurationUnit, 4> kDurationUnits{{
    {u"day", 86400},
    {u"hour", 3600},
    {u"minute", 60},
    {u"second", 1},
}};

constexpr uint64_t kMegabyte = 1024 * 1024;

UnicodeString Digits(int value, int width)
{
    return IntToDecW(value, width, u'0');
}

UnicodeString RoundedMegabytes(uint64_t bytes)
{
    return UIntToDecW(static_cast<uint32_t>((bytes + kMegabyte / 2) / kMegabyte), 0, u' ');
}

} // namespace

UnicodeString ReportDateTimeText(const TLocalTime& time)
{
    return Digits(time.year, 4) + u"-" + Digits(time.month, 2) + u"-" + Digits(time.day, 2) + u", " +
           Digits(time.hour, 2) + u":" + Digits(time.minute, 2) + u":" + Digits(time.second, 2) + u", " +
           Digits(time.milliseconds, 1) + u"ms";
}

UnicodeString FileDateTimeText(const TLocalTime& time)
{
    return Digits(time.year, 4) + u"-" + Digits(time.month, 2) + u"-" + Digits(time.day, 2) + u" " +
           Digits(time.hour, 2) + u":" + Digits(time.minute, 2);
}

UnicodeString DurationText(int64_t seconds)
{
    if (seconds < 0)
        seconds = 0;
    UnicodeString text;
    int written = 0;
    for (const TDurationUnit& unit : kDurationUnits) {
        const int64_t count = seconds / unit.seconds;
        seconds %= unit.seconds;
        if (count == 0 || written == 2)
            continue;
        if (written++ > 0)
            text += u' ';
        text += Int64ToStrW(count) + u" " + unit.name;
        if (count > 1)
            text += u's';
    }
    return text.empty() ? UnicodeString(u"0 seconds") : text;
}

UnicodeString ProgramUpTimeText(int64_t milliseconds)
{
    if (milliseconds >= 0 && milliseconds < 1000)
        return Int64ToStrW(milliseconds) + u" milliseconds";
    return DurationText(milliseconds / 1000);
}

UnicodeString PhysicalMemoryText(uint64_t freeBytes, uint64_t totalBytes)
{
    return RoundedMegabytes(freeBytes) + u"/" + RoundedMegabytes(totalBytes) + u" MB (free/total)";
}

std::optional<THeaderField> ProcessorField(std::u16string_view name, int count)
{
    UnicodeString cleaned(name);
    while (ReplaceStrW(cleaned, u"  ", u" ", false)) {
    }
    if (cleaned.empty())
        return std::nullopt;
    if (count <= 1)
        return THeaderField{u"processor", cleaned};
    return THeaderField{u"processors", IntToStrW(count) + u"x " + cleaned};
}

UnicodeString DriveSpaceText(char16_t drive, int64_t freeBytes, char16_t decimalSeparator)
{
    return UnicodeString(u"(") + drive + u":) " + SizeToStrW(freeBytes, decimalSeparator);
}

UnicodeString DisplayModeText(int width, int height, int bitsPerPixel)
{
    return IntToStrW(width) + u"x" + IntToStrW(height) + u", " + IntToStrW(bitsPerPixel) + u" bit";
}

UnicodeString UserNameText(std::u16string_view name, bool admin)
{
    return admin ? UnicodeString(name) + u"  <admin>" : UnicodeString(name);
}

UnicodeString RegisteredOwnerText(std::u16string_view owner, std::u16string_view organization)
{
    return organization.empty() ? UnicodeString(owner) : UnicodeString(owner) + u" / " + UnicodeString(organization);
}

std::optional<UnicodeString> ExceptionMessageValue(std::u16string_view message, std::u16string_view className)
{
    UnicodeString printable;
    for (const char16_t c : message) {
        if (c >= 32 || c == u'\r' || c == u'\n')
            printable += c;
    }
    TrimW(printable);
    UnicodeString value = SingleLineValue(printable);
    if (value.empty())
        value = u"Unknown";
    if (value == className)
        return std::nullopt;
    return value;
}
