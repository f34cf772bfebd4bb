#pragma once
// The registers of a saved processor state that every architecture has, by their role.
#include <windows.h>

#include <cstdint>

#if defined(__x86_64__)
inline uintptr_t StackPointerOf(const CONTEXT& context) { return context.Rsp; }
inline uintptr_t InstructionPointerOf(const CONTEXT& context) { return context.Rip; }
inline uintptr_t FramePointerOf(const CONTEXT& context) { return context.Rbp; }
#else
inline uintptr_t StackPointerOf(const CONTEXT& context) { return context.Esp; }
inline uintptr_t InstructionPointerOf(const CONTEXT& context) { return context.Eip; }
inline uintptr_t FramePointerOf(const CONTEXT& context) { return context.Ebp; }
#endif
