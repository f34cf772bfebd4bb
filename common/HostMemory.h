#pragma once
// The host's memory as the exports reach it: a pointer the host passes may point anywhere, so
// every read and write through one runs under a guard (FaultGuard.h), and a fault there fails
// the call instead of ending the process. Only the access itself is guarded: nothing is
// allocated and no lock is taken inside, so the abandoned frames hold nothing to clean up.
// A nil pointer is the callers' to judge; these functions only take it where they say so.
#include "FaultGuard.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

// The NUL-terminated text at `text`; nil is the empty text.
std::string HostText(const char* text);
// The `length` bytes at `bytes`; nothing when length ≤ 0.
std::string HostBytes(const void* bytes, int32_t length);

void CopyFromHost(void* target, const void* hostSource, size_t size);
void CopyToHost(void* hostTarget, const void* source, size_t size);

// A single value is read and written by this library's own instruction, so that a fault on it
// names this library's code.
template <class T>
T ReadHost(const T* place)
{
    static_assert(std::is_scalar_v<T>);
    T value{};
    Guarded([&] { value = *static_cast<const volatile T*>(place); });
    return value;
}

template <class T>
void WriteHost(T* place, std::type_identity_t<T> value)
{
    static_assert(std::is_scalar_v<T>);
    Guarded([&] { *static_cast<volatile T*>(place) = value; });
}
