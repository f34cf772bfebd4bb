#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "engine/win/Clipboard.h"
#include "engine/win/LibraryFolders.h"
#include "engine/win/LiveObjectCheck.h"
#include "engine/win/ProcessLists.h"
#include "engine/win/RegistryText.h"
#include "text/CaseFolding.h"
#include "text/FilePaths.h"

namespace {

const UnicodeString kTestKey = u"Software\\ConduvexTests\\crashreport";

DWORD WINAPI WaitForEvent(void* event)
{
    return WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
}

TEST(EngineHelpers, TheTemporaryFolderIsNamedAfterTheMainProgram)
{
    const UnicodeString folder = GetLibraryTempFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(SameTextW(ExtractFileNameW(folder.substr(0, folder.size() - 1)), u"crashreport_tests.zelExcept"));
    EXPECT_EQ(folder.back(), u'\\');
    const auto* wide = reinterpret_cast<const wchar_t*>(folder.c_str());
    ASSERT_NE(GetFileAttributesW(wide), INVALID_FILE_ATTRIBUTES);
    const UnicodeString file = folder + u"left.txt";
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t*>(file.c_str()), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    CloseHandle(handle);
    EmptyLibraryTempFolder();
    EXPECT_EQ(GetFileAttributesW(wide), INVALID_FILE_ATTRIBUTES);
}

TEST(EngineHelpers, RegistryStringsAreWrittenReadAndDeleted)
{
    EXPECT_TRUE(RegWriteStr(HKEY_CURRENT_USER, kTestKey, u"Name", u"J\u00F6rg \u20AC"));
    EXPECT_EQ(RegReadStr(HKEY_CURRENT_USER, kTestKey, u"Name"), u"J\u00F6rg \u20AC");
    EXPECT_TRUE(RegWriteStr(HKEY_CURRENT_USER, kTestKey, u"Empty", u""));
    EXPECT_EQ(RegReadStr(HKEY_CURRENT_USER, kTestKey, u"Empty"), u"");
    EXPECT_TRUE(RegDeleteValueText(HKEY_CURRENT_USER, kTestKey, u"Name"));
    EXPECT_TRUE(RegDeleteValueText(HKEY_CURRENT_USER, kTestKey, u"Empty"));
    EXPECT_EQ(RegReadStr(HKEY_CURRENT_USER, kTestKey, u"Name"), u"");
    EXPECT_FALSE(RegDeleteValueText(HKEY_CURRENT_USER, kTestKey, u"Name"));
    EXPECT_EQ(RegReadStr(HKEY_CURRENT_USER, u"Software\\ConduvexTests\\absent", u"Name"), u"");
}

TEST(EngineHelpers, TheThreadListHoldsEveryThreadOfTheProcess)
{
    const HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    const HANDLE thread = CreateThread(nullptr, 0, WaitForEvent, stop, 0, &id);
    ASSERT_NE(thread, nullptr);
    const std::vector<uint32_t> threads = EnumerateThreads();
    EXPECT_NE(std::find(threads.begin(), threads.end(), GetCurrentThreadId()), threads.end());
    EXPECT_NE(std::find(threads.begin(), threads.end(), id), threads.end());
    SetEvent(stop);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    CloseHandle(stop);
}

TEST(EngineHelpers, TheModuleListHoldsTheProgramAndTheSystemLibraries)
{
    const std::vector<TModuleEntry> modules = EnumerateModules();
    const auto holds = [&](std::u16string_view name, HMODULE module) {
        return std::any_of(modules.begin(), modules.end(), [&](const TModuleEntry& entry) {
            return SameTextW(entry.fileName, name) && entry.module == module;
        });
    };
    EXPECT_TRUE(holds(u"crashreport_tests.exe", GetModuleHandleW(nullptr)));
    EXPECT_TRUE(holds(u"kernel32.dll", GetModuleHandleW(L"kernel32.dll")));
    EXPECT_TRUE(std::is_sorted(modules.begin(), modules.end(),
                               [](const TModuleEntry& a, const TModuleEntry& b) { return a.module < b.module; }));
}

TEST(EngineHelpers, ThreadHandlesAreNotInherited)
{
    const HANDLE thread = OpenThreadHandle(GetCurrentThreadId(), SYNCHRONIZE | THREAD_QUERY_INFORMATION);
    ASSERT_NE(thread, nullptr);
    DWORD flags = 0;
    ASSERT_TRUE(GetHandleInformation(thread, &flags));
    EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
    CloseHandle(thread);
    EXPECT_EQ(OpenThreadHandle(0xFFFFFFF0, SYNCHRONIZE), nullptr);
}

TEST(EngineHelpers, MemoryThatIsNoObjectFailsTheClassTest)
{
    int value = 12345;
    const std::vector<uint8_t> zeros(64, 0);
    EXPECT_FALSE(IsValidObject(nullptr));
    EXPECT_FALSE(IsValidObject(&value));
    EXPECT_FALSE(IsValidObject(zeros.data()));
    EXPECT_FALSE(IsValidObject(reinterpret_cast<const void*>(&GetCurrentThreadId)));
    EXPECT_FALSE(IsValidObject(reinterpret_cast<const void*>(16)));
    EXPECT_EQ(GetExceptionClassName(&value), u"Unknown");
    EXPECT_EQ(GetExceptionMessage(zeros.data()), u"Unknown");
    EXPECT_EQ(GetExceptionMessage(reinterpret_cast<const void*>(16)), u"Unknown");
}

TEST(EngineHelpers, PathsAreMadeAbsoluteAgainstTheMainProgram)
{
    const UnicodeString folder = ExtractFilePathW(GetModuleFileNameText(nullptr));
    EXPECT_EQ(ExpandProgramPathText(u"logs\\..\\report.txt"), folder + u"report.txt");
    EXPECT_EQ(GetSpecialFolder(0x10, true).back(), u'\\');
    EXPECT_NE(GetSpecialFolder(0x10, false).back(), u'\\');
    EXPECT_FALSE(GetComputerNameText().empty());
}

TEST(EngineHelpers, TextPutOnTheClipboardReadsBack)
{
    if (!CopyTextToClipboard(u"clip \u20AC"))
        GTEST_SKIP() << "no clipboard here";
    ASSERT_TRUE(OpenClipboard(nullptr));
    const HANDLE data = GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(data, nullptr);
    const auto* text = static_cast<const char16_t*>(GlobalLock(data));
    EXPECT_EQ(UnicodeString(text), u"clip \u20AC");
    GlobalUnlock(data);
    CloseClipboard();
}

} // namespace
