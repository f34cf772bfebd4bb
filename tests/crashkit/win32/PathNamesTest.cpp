#include "win32/PathNames.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "system/SystemText.h"

namespace {

const wchar_t* Wide(const UnicodeString& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

UnicodeString FromWide(const wchar_t* text)
{
    return reinterpret_cast<const char16_t*>(text);
}

class PathNamesTest : public ::testing::Test {
protected:
    UnicodeString folder;
    UnicodeString file;

    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        ASSERT_NE(0u, GetTempPathW(MAX_PATH, temp));
        folder = FromWide(temp) + u"Crashkit Long Folder " + UnicodeString(1, u'A' + GetCurrentProcessId() % 26);
        file = folder + u"\\A Rather Long File Name.text";
        ASSERT_TRUE(CreateDirectoryW(Wide(folder), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        const HANDLE handle = CreateFileW(Wide(file), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, handle);
        CloseHandle(handle);
    }

    void TearDown() override
    {
        DeleteFileW(Wide(file));
        RemoveDirectoryW(Wide(folder));
    }
};

UnicodeString SystemShort(const UnicodeString& path)
{
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetShortPathNameW(Wide(path), buffer, MAX_PATH);
    return UnicodeString(reinterpret_cast<const char16_t*>(buffer), length);
}

UnicodeString SystemLong(const UnicodeString& path)
{
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetLongPathNameW(Wide(path), buffer, MAX_PATH);
    return UnicodeString(reinterpret_cast<const char16_t*>(buffer), length);
}

TEST_F(PathNamesTest, ShortAndLongFormsAgreeWithTheSystem)
{
    const UnicodeString shortPath = ShortPathNameW(file);
    EXPECT_EQ(SystemShort(file), shortPath);
    EXPECT_NE(file, shortPath);
    EXPECT_EQ(SystemLong(shortPath), LongPathNameW(shortPath));
    EXPECT_EQ(file, LongPathNameW(shortPath));
    EXPECT_EQ(ShortPathNameW(folder), ShortPathNameW(folder + u"\\"));
    EXPECT_EQ(AnsiString(shortPath.begin(), shortPath.end()), ShortPathNameA(AnsiString(file.begin(), file.end())));
}

TEST_F(PathNamesTest, WildcardsAndMissingComponentsStay)
{
    const UnicodeString shortFolder = ShortPathNameW(folder);
    EXPECT_EQ(shortFolder + u"\\*.text", ShortPathNameW(folder + u"\\*.text"));
    EXPECT_EQ(shortFolder + u"\\Not There At All\\x", ShortPathNameW(folder + u"\\Not There At All\\x"));
    EXPECT_EQ(folder + u"\\NOTHER~1", LongPathNameW(shortFolder + u"\\NOTHER~1"));
}

TEST(FileVersion, FixedVersionOrNothing)
{
    wchar_t path[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameW(GetModuleHandleA("kernel32.dll"), path, MAX_PATH));
    DWORD ignored = 0;
    std::vector<char> block(GetFileVersionInfoSizeW(path, &ignored));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(VersionToStrW(fixed->dwFileVersionMS, fixed->dwFileVersionLS), GetFileVersionStr(FromWide(path)));

    wchar_t program[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameW(nullptr, program, MAX_PATH));
    EXPECT_EQ(u"", GetFileVersionStr(FromWide(program)));
    EXPECT_EQ(u"", GetFileVersionStr(u"C:\\no\\such\\file.dll"));
}

} // namespace
