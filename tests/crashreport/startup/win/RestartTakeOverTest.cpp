#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "WinHandle.h"
#include "dispatch/win/HostEnd.h"
#include "settings/win/NamedObjectSecurity.h"
#include "startup/win/RestartTakeOver.h"

namespace {

// A process that only ends when told: this program itself, suspended.
PROCESS_INFORMATION StartIdleProcess()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring line = std::wstring(L"\"") + path + L"\" --gtest_list_tests";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    EXPECT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                               &startup, &process));
    return process;
}

TEST(RestartTakeOver, WithoutAHandOverNothingIsTaken)
{
    EXPECT_FALSE(TakeOverRestart());
    EXPECT_FALSE(WasRestarted());
}

TEST(RestartTakeOver, WaitsForThePredecessorThenTakesTheHistoryAndClosesTheHandedHandle)
{
    const PROCESS_INFORMATION predecessor = StartIdleProcess();
    const TWinHandle predecessorProcess(predecessor.hProcess);
    const TWinHandle predecessorThread(predecessor.hThread);

    // What a restarting predecessor leaves for this process.
    TNamedObjectSecurity security;
    const UnicodeString name = RestartMappingName(GetCurrentProcessId());
    const HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, security.Attributes(), PAGE_READWRITE, 0,
                                              sizeof(TRestartHandOver), reinterpret_cast<LPCWSTR>(name.c_str()));
    ASSERT_TRUE(mapping);
    auto* block = static_cast<TRestartHandOver*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    ASSERT_TRUE(block);
    block->oldProcessId = predecessor.dwProcessId;
    block->mappingHandle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(mapping));
    for (size_t index = 0; index < sizeof block->history; ++index)
        block->history[index] = static_cast<uint8_t>(index + 1);
    UnmapViewOfFile(block);

    // The predecessor ends a little later.
    const DWORD endAfterMs = 300;
    const DWORD started = GetTickCount();
    std::thread ender([&] {
        Sleep(endAfterMs);
        TerminateProcess(predecessor.hProcess, 0);
    });
    const auto history = TakeOverRestart();
    const DWORD waited = GetTickCount() - started;
    ender.join();

    ASSERT_TRUE(history);
    EXPECT_TRUE(WasRestarted());
    EXPECT_GE(waited + 50, endAfterMs) << "it waited for the predecessor to end";
    EXPECT_EQ((*history)[0], 1);
    EXPECT_EQ((*history)[79], 80);
    // The handed handle was the mapping's only one: once it is closed the name is gone. (Its
    // value may already name another handle of this process.)
    const TWinHandle reopened(OpenFileMappingW(FILE_MAP_READ, FALSE, reinterpret_cast<LPCWSTR>(name.c_str())));
    EXPECT_FALSE(reopened) << "the handed handle is closed";
}

} // namespace
