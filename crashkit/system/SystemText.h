#pragma once
// Version numbers and tick counts.
#include <cstdint>

#include "text/ZelTypes.h"

// The four 16-bit halves of two dwords as "a.b.c.d", high half of the first dword first.
AnsiString VersionToStrA(uint32_t mostSignificant, uint32_t leastSignificant);
UnicodeString VersionToStrW(uint32_t mostSignificant, uint32_t leastSignificant);

// Milliseconds from a tick count to now, across the 32-bit wrap.
inline uint32_t TicksBetween(uint32_t since, uint32_t now)
{
    return now - since;
}
