#include "text/NumberFormat.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(NumberFormat, HexWidthsAndFills)
{
    EXPECT_EQ("$0", IntToHexStrA(0, 1, '0'));
    EXPECT_EQ("$1a4", IntToHexStrA(0x1a4, 1, '0'));
    EXPECT_EQ("$000001a4", IntToHexStrA(0x1a4, 8, '0'));
    EXPECT_EQ("     $1a4", IntToHexStrA(0x1a4, 8, ' '));
    EXPECT_EQ("  $ff", IntToHexStrA(255, 4, ' '));
    EXPECT_EQ("$00ff", IntToHexStrA(255, 4, '0'));
    EXPECT_EQ("$ff  ", IntToHexStrA(255, -4, ' '));
    EXPECT_EQ("$ffffffff", IntToHexStrA(0xFFFFFFFF, 0, ' '));
    EXPECT_EQ(u"$AAff", IntToHexStrW(255, 4, u'A'));   // a hex-digit fill pads the digits
    EXPECT_EQ(u"\u0100\u0100$ff", IntToHexStrW(255, 4, u'\u0100')); // above 255: never a digit
    EXPECT_EQ("$123456789abcdef0", Int64ToHexStrA(0x123456789abcdef0, 1, '0'));
}

TEST(NumberFormat, DecimalsKeepTheSignInFrontOfDigitFills)
{
    EXPECT_EQ("-005", IntToDecA(-5, 4, '0'));
    EXPECT_EQ("  -5", IntToDecA(-5, 4, ' '));
    EXPECT_EQ("7  ", IntToDecA(7, -3, ' '));
    EXPECT_EQ("12345", IntToDecA(12345, 3, '0'));
    EXPECT_EQ("-2147483648", IntToDecA(INT32_MIN, 0, ' '));
    EXPECT_EQ(u"4294967295", UIntToDecW(UINT32_MAX, 2, u' '));
    EXPECT_EQ("-9223372036854775808", Int64ToDecA(INT64_MIN, 0, ' '));
    EXPECT_EQ(u"0", IntToStrW(0));
    EXPECT_EQ("-1", IntToStrA(-1));
    EXPECT_EQ(u"-9223372036854775808", Int64ToStrW(INT64_MIN));
}

TEST(NumberFormat, PlainHex)
{
    EXPECT_EQ("0", DWordToHexA(0));
    EXPECT_EQ(u"dead", DWordToHexW(0xDEAD));
    EXPECT_EQ("000001a4", QWordToHexA(0x1a4));
    EXPECT_EQ("1000000ff", QWordToHexA(0x1000000FF));
}

TEST(NumberFormat, SizesWithTwoTruncatedDecimals)
{
    EXPECT_EQ(u"1023 Bytes", SizeToStrW(1023, u','));
    EXPECT_EQ(u"1,00 KB", SizeToStrW(1024, u','));
    EXPECT_EQ(u"1.50 KB", SizeToStrW(1536, u'.'));
    EXPECT_EQ(u"1023,99 KB", SizeToStrW(1048575, u','));
    EXPECT_EQ(u"1,00 MB", SizeToStrW(1048576, u','));
    EXPECT_EQ(u"2,50 GB", SizeToStrW(2684354560, u','));
    EXPECT_EQ(u"5 Bytes", SizeToStrW(-5, u','));
    EXPECT_EQ(u"8589934592,00 GB", SizeToStrW(INT64_MIN, u','));
}

TEST(NumberFormat, PaddingRule)
{
    AnsiString text = "-12";
    PadStrA(text, 6, '0');
    EXPECT_EQ("-00012", text);
    UnicodeString wide = u"ab";
    PadStrW(wide, 0, u'*');
    EXPECT_EQ(u"ab", wide);
    PadStrW(wide, -4, u'*');
    EXPECT_EQ(u"ab**", wide);
}

TEST(NumberFormat, DigitsToInt)
{
    EXPECT_EQ(1234, DigitsToIntA(false, "1234"));
    EXPECT_EQ(-255, DigitsToIntA(true, "-ff"));
    EXPECT_EQ(0x1A4, DigitsToIntW(true, u"1a4"));
    EXPECT_EQ(102, DigitsToIntA(false, "1x2")); // a non-digit counts as 0
    EXPECT_EQ(0, DigitsToIntA(false, ""));
    EXPECT_EQ(u"+", BoolToSignW(true));
    EXPECT_EQ(u"-", BoolToSignW(false));
}

} // namespace
