#include "plugins/win/DriverRegistry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const std::wstring kClassKey = L"System\\CurrentControlSet\\Control\\Class\\{7e57c1a5-0000-4000-8000-00000000d12e}";

// A driver entry of a made-up device class, removed again at the end.
class DriverRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Write(L"0000", L"ProviderName", L"Maker")); }
    void TearDown() override
    {
        for (const wchar_t* index : {L"0000", L"0001"})
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kClassKey + L"\\" + index).c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kClassKey.c_str());
    }

    static bool Set(const wchar_t* index, const wchar_t* name, DWORD type, const void* data, DWORD size)
    {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kClassKey + L"\\" + index).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr) != ERROR_SUCCESS)
            return false;
        const bool written = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
        RegCloseKey(key);
        return written;
    }
    static bool Write(const wchar_t* index, const wchar_t* name, const std::wstring& text)
    {
        return Set(index, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    static UnicodeString DriverKey(const char16_t* index)
    {
        return u"{7e57c1a5-0000-4000-8000-00000000d12e}\\" + UnicodeString(index);
    }
};

TEST_F(DriverRegistryTest, AVersionOrElseADateOfAnotherProviderIsShown)
{
    EXPECT_EQ(DriverVersionSuffix(DriverKey(u"0000")), u"");
    ASSERT_TRUE(Write(L"0000", L"DriverDate", L"6-21-2006"));
    EXPECT_EQ(DriverVersionSuffix(DriverKey(u"0000")), u" (driver 6-21-2006)");
    ASSERT_TRUE(Write(L"0000", L"DriverVersion", L" 2.1.0.7 "));
    EXPECT_EQ(DriverVersionSuffix(DriverKey(u"0000")), u" (driver 2.1.0.7)");
    ASSERT_TRUE(Write(L"0000", L"ProviderName", L"Microsoft"));
    EXPECT_EQ(DriverVersionSuffix(DriverKey(u"0000")), u"");
    EXPECT_EQ(DriverVersionSuffix(DriverKey(u"0009")), u"");
}

TEST_F(DriverRegistryTest, CharacteristicsCountOnlyAsAFourByteValue)
{
    EXPECT_FALSE(DriverCharacteristics(DriverKey(u"0000")).has_value());
    const DWORD hidden = 0x8;
    ASSERT_TRUE(Set(L"0000", L"Characteristics", REG_DWORD, &hidden, sizeof hidden));
    EXPECT_EQ(DriverCharacteristics(DriverKey(u"0000")), 0x8u);
    const uint16_t shortValue = 0x8;
    ASSERT_TRUE(Set(L"0001", L"Characteristics", REG_BINARY, &shortValue, sizeof shortValue));
    EXPECT_FALSE(DriverCharacteristics(DriverKey(u"0001")).has_value());
    EXPECT_FALSE(DriverCharacteristics(DriverKey(u"0009")).has_value());
}

} // namespace
