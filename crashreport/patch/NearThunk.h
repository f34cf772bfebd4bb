#pragma once
// Executable memory for a forwarding stub, placed where a 32-bit displacement from a given
// address reaches it.
#include <cstdint>

// A page within reach of site, or null; release it with ReleaseThunkMemory.
void* AllocateThunkNear(const void* site);
void ReleaseThunkMemory(void* thunk);
// True when a relative jump at from (5 bytes) reaches to.
bool IsInJumpReach(const void* from, const void* to);
// Writes an absolute jump to target at thunk; returns the bytes written.
unsigned WriteAbsoluteJump(void* thunk, const void* target);
