#pragma once
// Checked access to the process's own memory, and the tick count.
#include <windows.h>

#include <cstdint>

#include "system/MemoryReader.h"

// True unless the whole range lies in one committed, readable region without a guard page.
bool IsBadReadArea(const void* address, size_t size);

// Milliseconds since a GetTickCount value, across the counter's wrap.
uint32_t TicksSince(uint32_t ticks);

// Reads live memory after IsBadReadArea; remembers the last region it checked.
class TLiveMemoryReader : public IMemoryReader {
public:
    bool Read(uint64_t address, void* out, size_t size) const override;

private:
    mutable uintptr_t regionStart_ = 0;
    mutable uintptr_t regionEnd_ = 0;
};
