#include "win32/DecimalSeparator.h"

#include <windows.h>

#include <atomic>

#include "text/NumberFormat.h"

namespace {

std::atomic<char16_t> cachedSeparator{0};

char16_t ReadSeparator()
{
    wchar_t text[8] = {};
    if (GetLocaleInfoW(GetThreadLocale(), LOCALE_SDECIMAL, text, 8) == 0 || text[0] == 0)
        return u',';
    return static_cast<char16_t>(text[0]);
}

} // namespace

char16_t DecimalSeparator()
{
    char16_t separator = cachedSeparator;
    if (separator == 0) {
        separator = ReadSeparator();
        cachedSeparator = separator;
    }
    return separator;
}

UnicodeString SizeToStrW(int64_t bytes)
{
    return SizeToStrW(bytes, DecimalSeparator());
}
