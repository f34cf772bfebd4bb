#pragma once
// What a test can measure about its own process: open handles, threads and processor time.
#include <windows.h>

#include <cstdint>
#include <vector>

// Counts the process's open handles by asking the system about every possible handle value
// (Wine's handle count query answers 0).
size_t OpenHandleCount();
std::vector<DWORD> ThreadIdsOfProcess();
// User plus kernel time of a thread of this process, in milliseconds; 0 when unknown.
double ThreadCpuMs(DWORD threadId);
double ProcessCpuMs();
