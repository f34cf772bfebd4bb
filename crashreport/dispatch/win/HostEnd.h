#pragma once
// The end of the host after a crash: a restart starts the program anew (handing it the history
// of exceptions through a mapping named after the new process) and ends this one; a close ends
// it at once. Neither returns.
#include <windows.h>

#include <cstdint>
#include <span>

#include "text/ZelTypes.h"

// The hand-over block: old process id, the mapping's handle in the new process, the history.
struct TRestartHandOver {
    uint32_t oldProcessId;
    uint32_t mappingHandle;
    uint8_t history[80];
};
static_assert(sizeof(TRestartHandOver) == 88);

inline constexpr uint32_t kRestartExitCode = 2;

// The mapping's name for that process.
UnicodeString RestartMappingName(uint32_t processId);

// Starts the command line (empty: this process's own) suspended, hands the state over, resumes
// it; true when the new process runs. Does not end this process.
bool StartSuccessor(const UnicodeString& commandLine, std::span<const uint8_t> state);

[[noreturn]] void RestartApplication(const UnicodeString& commandLine, std::span<const uint8_t> state, bool terminate);
[[noreturn]] void CloseApplication();
// The exit code of a close (1 unless the host changed it).
void SetCloseExitCode(uint32_t code);
