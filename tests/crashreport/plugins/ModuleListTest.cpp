#include "plugins/ModuleList.h"

#include <gtest/gtest.h>

namespace {

UnicodeString Base(const char16_t* digits)
{
    // The base address column is as wide as a pointer in hex.
    UnicodeString base(sizeof(uintptr_t) * 2 - std::char_traits<char16_t>::length(digits), u'0');
    return base + digits;
}

TEST(ModuleList, NameAndVersionArePaddedAndThePathFollows)
{
    const std::vector<TModuleRecord> modules = {
        {0x400000, u"app.exe", u"1.0.0.1", u"C:\\app\\app.exe"},
        {0x7c800000, u"kernel32.dll", u"", u"C:\\windows\\system32\\kernel32.dll"},
    };
    EXPECT_EQ(ModuleListText(modules), Base(u"400000") + u" app.exe      1.0.0.1 C:\\app\\app.exe\r\n" +
                                           Base(u"7c800000") + u" kernel32.dll         C:\\windows\\system32\\kernel32.dll");
}

TEST(ModuleList, NoModulesIsAnEmptyText)
{
    EXPECT_EQ(ModuleListText({}), u"");
}

} // namespace
