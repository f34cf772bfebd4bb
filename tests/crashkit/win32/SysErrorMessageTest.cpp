#include "win32/SysErrorMessage.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "text/Utf.h"
#include "win32/DecimalSeparator.h"

namespace {

UnicodeString SystemText(DWORD code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, LANG_USER_DEFAULT, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    UnicodeString text(reinterpret_cast<const char16_t*>(buffer), length);
    LocalFree(buffer);
    return text;
}

TEST(SysErrorMessage, SystemTextsBecomeOneLine)
{
    const UnicodeString raw = SystemText(ERROR_ACCESS_DENIED);
    ASSERT_NE(UnicodeString::npos, raw.find(u"\r\n"));
    const UnicodeString line = SysErrorMessageW(ERROR_ACCESS_DENIED);
    EXPECT_EQ(UnicodeString::npos, line.find_first_of(u"\r\n"));
    UnicodeString expected;
    for (const char16_t c : raw) {
        if (c != u'\n')
            expected += c == u'\r' ? u' ' : c;
    }
    EXPECT_EQ(expected, line);
    EXPECT_EQ(WideToUTF8(line), SysErrorMessageA(ERROR_ACCESS_DENIED)); // English texts: ASCII
}

TEST(SysErrorMessage, StatusCodesAreTranslated)
{
    EXPECT_EQ(SysErrorMessageW(ERROR_NOACCESS), SysErrorMessageW(0xC0000005));
    EXPECT_EQ(SysErrorMessageA(ERROR_NOACCESS), SysErrorMessageA(0xC0000005));
}

TEST(SysErrorMessage, UnknownCodesGiveTheFallbackWithTheHexCode)
{
    EXPECT_EQ(u"System error $2000abcd", SysErrorMessageW(0x2000ABCD));
    EXPECT_EQ("System error $2000abcd", SysErrorMessageA(0x2000ABCD));
    EXPECT_FALSE(SysErrorMessageW(2102).empty()); // network range: module or fallback
    EXPECT_FALSE(SysErrorMessageA(12002).empty()); // internet range
}

TEST(DecimalSeparator, FollowsTheThreadLocale)
{
    wchar_t text[8] = {};
    ASSERT_NE(0, GetLocaleInfoW(GetThreadLocale(), LOCALE_SDECIMAL, text, 8));
    EXPECT_EQ(static_cast<char16_t>(text[0]), DecimalSeparator());
    UnicodeString expected = u"1";
    expected += DecimalSeparator();
    expected.append(u"50 KB");
    EXPECT_EQ(expected, SizeToStrW(1536));
}

} // namespace
