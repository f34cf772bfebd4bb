#pragma once
// The process-wide list of named threads, shared by every copy of the library through the
// thread-name buffer and guarded by its list mutex.
#include <windows.h>

#include <cstdint>
#include <optional>

#include "text/ZelTypes.h"

struct TThreadEntryInfo {
    UnicodeString name;
    UnicodeString description;
    const void* startAddress = nullptr;
    uint32_t creatorThreadId = 0;
};

// Replaces the thread's entry; what the call leaves empty is kept from the old one. No name
// and no start address remove the entry.
void SetThreadEntry(uint32_t threadId, HANDLE thread, const UnicodeString& name, uint32_t creatorThreadId,
                    const void* startAddress, const UnicodeString& description);
// Names the thread, and tells an attached debugger.
void NameThread(uint32_t threadId, const UnicodeString& name);
// None without an entry, or when the list mutex is not had within 50 ms.
std::optional<TThreadEntryInfo> GetThreadEntry(uint32_t threadId);
