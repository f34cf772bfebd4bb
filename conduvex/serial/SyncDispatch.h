#pragma once
// Runs calls from worker threads on one owning thread: a process-wide table of registered
// methods and a message-only window owned by the thread that made the first registration
// (the thread that creates the first serial port). A worker asks for a registered method by
// its ID; the request travels as a message sent with a time-out, so a worker never waits
// longer than it allows, and a thread that does not pump messages makes calls fail.
#include "Method.h"

#include <windows.h>

#include <cstdint>
#include <memory>

// Called on the owning thread with the entry's index (1..64) and the caller's record.
using TSafeSyncMethod = TMethod<int32_t, const void*>;

inline constexpr int kSafeSyncEntryCount = 64;

// The new entry's ID (never 0; disabled until enabled), or 0 when every entry is in use.
uint32_t SafeSyncRegister(TSafeSyncMethod method);
bool SafeSyncUnregister(uint32_t id);
bool SafeSyncSetEnabled(uint32_t id, bool enabled);
// Runs the entry's method on the owning thread with the record, waiting at most timeoutMs.
// True only when the call was delivered and the entry is still registered and enabled
// afterwards. The record lives as long as the call needs it, even past a time-out; a call
// that arrives after its sender gave up is dropped.
bool SafeSyncCall(uint32_t id, uint32_t timeoutMs, std::shared_ptr<const void> record = nullptr);

// Waits for a handle while running the calls other threads send to this thread's windows,
// so that a thread joining a worker never deadlocks on that worker's pending call.
DWORD WaitDispatchingSentMessages(HANDLE handle, DWORD timeoutMs);
