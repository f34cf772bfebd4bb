#pragma once
// The frame every export runs in: clear the last error, check what the host passed, do
// the work, and turn anything thrown into the last error, so that nothing reaches the host.
// Work reports failure either by returning SetError(...) or by throwing; an EConduvexError
// carries its own code, any other exception becomes "exception raised" with its message.
#include "ConduvexError.h"
#include "links/GlobalHandles.h"
#include "LastError.h"

#include <cstdint>
#include <exception>
#include <string>

// 32-bit booleans at the boundary.
constexpr int32_t kCiTrue = -1;
constexpr int32_t kCiFalse = 0;
constexpr int32_t CiBool(bool value) { return value ? kCiTrue : kCiFalse; }

// Records the exception being handled as the last error; never throws. Returns its code.
// The observer, when set, sees the exception first (inside the catch).
uint32_t ReportCaughtException() noexcept;

// What sees every exception an export's frame catches before it becomes the last error (the
// crash library reports the operating-system faults among them); null: nothing.
using TCaughtExceptionObserver = void (*)() noexcept;
void SetCaughtExceptionObserver(TCaughtExceptionObserver observer);

// Raises the code with its table text.
[[noreturn]] void RaiseCode(uint32_t code);

// A pointer the host must give: nil raises "Invalid parameters." before anything changed.
// What it points at is reached only through HostMemory.h.
template <class T>
T* Required(T* pointer)
{
    if (!pointer)
        RaiseCode(kErrInvalidParameters);
    return pointer;
}

// The link behind a handle of the global table; "Invalid handle." otherwise.
TIntfPtr<ICommunicationInterface> RequireLink(uint32_t handle);
// Only that the handle is in the global table (the notification exports).
void RequireHandle(uint32_t handle);

// Frame of exports that return a result code: 0 or whatever the work returns.
template <class Work>
uint32_t CiCall(Work&& work) noexcept
{
    try {
        ClearError();
        return work();
    } catch (...) {
        return ReportCaughtException();
    }
}

// Frame of exports that return a value: on a throw, the error is set and `failed` returned.
template <class Value, class Work>
Value CiCallValue(Value failed, Work&& work) noexcept
{
    try {
        ClearError();
        return work();
    } catch (...) {
        ReportCaughtException();
        return failed;
    }
}

// Frame of the handle exports: the work gets the link (ICommunicationInterface&).
template <class Work>
uint32_t CiCallLink(uint32_t handle, Work&& work) noexcept
{
    return CiCall([&]() -> uint32_t {
        const TIntfPtr<ICommunicationInterface> link = RequireLink(handle);
        return work(*link);
    });
}

template <class Value, class Work>
Value CiCallLinkValue(uint32_t handle, Value failed, Work&& work) noexcept
{
    return CiCallValue(failed, [&]() -> Value {
        const TIntfPtr<ICommunicationInterface> link = RequireLink(handle);
        return work(*link);
    });
}

// Text out, as the ci exports give it. Length is the buffer's size on entry (negative
// counts as 0). A nil buffer asks for the size: length := text length + 1, result 0.
// A buffer of text length or less: length := text length + 1 and "Need more buffer size."
// is set and returned. Otherwise text and NUL are written and length := text length.
uint32_t PutText(const std::string& text, char* buffer, int32_t* length);

// Text out as LastErrorText gives it: the length always becomes text length + 1; a buffer
// too small gets as much of the text as fits plus a NUL and the result "Need more buffer
// size.", without touching the last error. A nil length raises "Invalid parameters.".
uint32_t PutTextTruncated(const std::string& text, char* buffer, int32_t* length);

// A 32-bit boolean through the host's pointer; nil raises "Invalid parameters.".
void PutBool(int32_t* out, bool value);
