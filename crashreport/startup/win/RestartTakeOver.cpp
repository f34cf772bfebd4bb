#include "RestartTakeOver.h"

#include <windows.h>

#include <atomic>
#include <cstring>

#include "WinHandle.h"
#include "dispatch/win/HostEnd.h"

namespace {

std::atomic<bool> restarted{false};

} // namespace

std::optional<std::array<uint8_t, 80>> TakeOverRestart()
{
    const UnicodeString name = RestartMappingName(GetCurrentProcessId());
    const TWinHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, reinterpret_cast<LPCWSTR>(name.c_str())));
    if (!mapping)
        return std::nullopt;
    const auto* block = static_cast<const TRestartHandOver*>(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0,
                                                                           sizeof(TRestartHandOver)));
    if (!block)
        return std::nullopt;
    TRestartHandOver handOver{};
    std::memcpy(&handOver, block, sizeof handOver);
    UnmapViewOfFile(block);
    restarted = true;
    // The predecessor's duplicate of the mapping is ours to close.
    CloseHandle(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handOver.mappingHandle)));
    // The predecessor is a process, not a thread of ours: waiting for it cannot dead-lock the
    // loader, and it ends right after it started us.
    if (const TWinHandle old(OpenProcess(SYNCHRONIZE, FALSE, handOver.oldProcessId)); old)
        WaitForSingleObject(old.Get(), INFINITE);
    std::array<uint8_t, 80> history{};
    std::memcpy(history.data(), handOver.history, history.size());
    return history;
}

bool WasRestarted()
{
    return restarted.load();
}
