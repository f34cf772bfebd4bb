#include "win32/Win32ZipFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "zip/ZipReading.h"

namespace {

class Win32ZipFilesTest : public ::testing::Test {
protected:
    UnicodeString folder;

    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        ASSERT_NE(0u, GetTempPathW(MAX_PATH, temp));
        folder = reinterpret_cast<const char16_t*>(temp);
        folder += u"crashkit-zip-" + Hex(GetCurrentProcessId()) + u"\\";
        ASSERT_TRUE(CreateDirectoryW(Wide(folder), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    }

    void TearDown() override
    {
        for (const UnicodeString& path : made_) {
            SetFileAttributesW(Wide(path), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(Wide(path));
        }
        RemoveDirectoryW(Wide(folder));
    }

    static const wchar_t* Wide(const UnicodeString& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

    static UnicodeString Hex(uint32_t value)
    {
        UnicodeString text;
        do {
            text.insert(text.begin(), u"0123456789abcdef"[value % 16]);
            value /= 16;
        } while (value != 0);
        return text;
    }

    UnicodeString Make(const UnicodeString& name, const std::string& contents)
    {
        const UnicodeString path = folder + name;
        const HANDLE file = CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr));
        CloseHandle(file);
        made_.push_back(path);
        return path;
    }

    std::string ReadArchive(const UnicodeString& path)
    {
        made_.push_back(path);
        std::string bytes;
        const HANDLE file = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return bytes;
        bytes.resize(GetFileSize(file, nullptr));
        DWORD got = 0;
        ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
        CloseHandle(file);
        return bytes;
    }

private:
    std::vector<UnicodeString> made_;
};

TEST_F(Win32ZipFilesTest, ArchivesFilesWithTheirTimesAttributesAndNames)
{
    std::string large;
    for (uint32_t i = 0; large.size() < 1300000; ++i)
        large += static_cast<char>((i * 2654435761u) >> 24);
    const UnicodeString big = Make(u"big.bin", large);
    const UnicodeString empty = Make(u"empty.txt", "");
    const UnicodeString named = Make(u"Gr\u00FC\u00DFe \u65E5\u672C.txt", "non-ASCII");
    ASSERT_TRUE(SetFileAttributesW(Wide(named), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));

    const UnicodeString archivePath = folder + u"out.zip";
    ASSERT_TRUE(WriteZipArchive(archivePath, {big, empty, named}, {}));
    const std::string archive = ReadArchive(archivePath);
    const std::vector<TMember> members = CentralDirectory(archive);
    ASSERT_EQ(3u, members.size());
    EXPECT_EQ(large, MemberData(archive, members[0]));
    EXPECT_EQ("", MemberData(archive, members[1]));
    EXPECT_EQ("Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC.txt", members[2].name);
    EXPECT_EQ(static_cast<uint32_t>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE), members[2].attributes);

    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(Wide(big), GetFileExInfoStandard, &data));
    FILETIME local;
    WORD date = 0;
    WORD time = 0;
    ASSERT_TRUE(FileTimeToLocalFileTime(&data.ftLastWriteTime, &local));
    ASSERT_TRUE(FileTimeToDosDateTime(&local, &date, &time));
    EXPECT_EQ(date, members[0].date);
    EXPECT_EQ(time, members[0].time);
}

TEST_F(Win32ZipFilesTest, NoReadableFileLeavesNoArchive)
{
    const UnicodeString archivePath = folder + u"none.zip";
    EXPECT_FALSE(WriteZipArchive(archivePath, {folder + u"missing.txt"}, {}));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(Wide(archivePath)));
}

TEST_F(Win32ZipFilesTest, ArchiveThatCannotBeCreatedFails)
{
    const UnicodeString source = Make(u"source.txt", "data");
    EXPECT_FALSE(WriteZipArchive(folder + u"no such folder\\out.zip", {source}, {}));
}

} // namespace
