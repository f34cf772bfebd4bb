#include "HostEnd.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "WinHandle.h"
#include "engine/EngineText.h"
#include "settings/win/NamedObjectSecurity.h"

namespace {

std::atomic<uint32_t> closeExitCode{1};

// Hands the block over through a mapping that the new process opens by name and closes.
bool HandOver(const PROCESS_INFORMATION& process, std::span<const uint8_t> state)
{
    TNamedObjectSecurity security;
    const UnicodeString name = RestartMappingName(process.dwProcessId);
    TWinHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, security.Attributes(), PAGE_READWRITE, 0,
                                          sizeof(TRestartHandOver), reinterpret_cast<LPCWSTR>(name.c_str())));
    if (!mapping)
        return false;
    HANDLE inSuccessor = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), mapping.Get(), process.hProcess, &inSuccessor, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        return false;
    auto* block = static_cast<TRestartHandOver*>(MapViewOfFile(mapping.Get(), FILE_MAP_WRITE, 0, 0, 0));
    if (!block)
        return false;
    block->oldProcessId = GetCurrentProcessId();
    block->mappingHandle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(inSuccessor));
    std::memcpy(block->history, state.data(), std::min(state.size(), sizeof block->history));
    UnmapViewOfFile(block);
    // The successor's duplicate keeps the mapping alive after this process is gone.
    return true;
}

} // namespace

UnicodeString RestartMappingName(uint32_t processId)
{
    return u"zelExceptRestart" + ProcessSuffix(processId);
}

bool StartSuccessor(const UnicodeString& commandLine, std::span<const uint8_t> state)
{
    std::vector<wchar_t> line;
    if (commandLine.empty()) {
        const wchar_t* own = GetCommandLineW();
        line.assign(own, own + wcslen(own));
    } else {
        line.assign(commandLine.begin(), commandLine.end());
    }
    line.push_back(L'\0');
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, folder, &startup,
                        &process))
        return false;
    const TWinHandle processHandle(process.hProcess);
    const TWinHandle threadHandle(process.hThread);
    HandOver(process, state);
    ResumeThread(process.hThread);
    return true;
}

void RestartApplication(const UnicodeString& commandLine, std::span<const uint8_t> state, bool terminate)
{
    StartSuccessor(commandLine, state);
    if (terminate)
        TerminateProcess(GetCurrentProcess(), kRestartExitCode);
    ExitProcess(kRestartExitCode);
}

void CloseApplication()
{
    TerminateProcess(GetCurrentProcess(), closeExitCode.load());
    ExitProcess(closeExitCode.load());
}

void SetCloseExitCode(uint32_t code)
{
    closeExitCode = code;
}
