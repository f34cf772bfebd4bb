#pragma once
// Byte patterns, waiting and error helpers shared by the serial tests.
#include "ConduvexError.h"

#include <windows.h>

#include <cstdint>
#include <string>

// Bytes that differ from their neighbours, so a lost, doubled or swapped run shows.
inline std::string BytePattern(size_t count, uint32_t seed)
{
    std::string bytes(count, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (auto& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 23);
    }
    return bytes;
}

// Polls without running messages.
inline bool WaitUntil(const auto& condition, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(5);
    }
    return true;
}

// The message of the library error the action raises.
std::string ErrorText(const auto& action)
{
    try {
        action();
    } catch (const EConduvexError& error) {
        return error.what();
    }
    return "no error";
}
