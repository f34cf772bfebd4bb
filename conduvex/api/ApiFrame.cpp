#include "api/ApiFrame.h"

#include "HostMemory.h"

#include <algorithm>
#include <atomic>

namespace {

std::atomic<TCaughtExceptionObserver> caughtObserver{nullptr};

int32_t TextLength(const std::string& text)
{
    return static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX - 1));
}

// The text's first `count` bytes and a NUL.
void CopyWithNul(const std::string& text, int32_t count, char* buffer)
{
    std::string copy = text.substr(0, static_cast<size_t>(count));
    CopyToHost(buffer, copy.c_str(), copy.size() + 1);
}

} // namespace

void SetCaughtExceptionObserver(TCaughtExceptionObserver observer)
{
    caughtObserver = observer;
}

uint32_t ReportCaughtException() noexcept
{
    if (const TCaughtExceptionObserver observer = caughtObserver)
        observer();
    try {
        return SetExceptionError(std::current_exception());
    } catch (...) {
        return kErrException;
    }
}

void RaiseCode(uint32_t code)
{
    throw EConduvexError(std::string(ResultCodeText(code)), code);
}

TIntfPtr<ICommunicationInterface> RequireLink(uint32_t handle)
{
    TIntfPtr<ICommunicationInterface> link = GlobalHandles().CommInterfaceByHandle(handle);
    if (!link)
        RaiseCode(kErrInvalidHandle);
    return link;
}

void RequireHandle(uint32_t handle)
{
    if (!GlobalHandles().IsValidHandle(handle))
        RaiseCode(kErrInvalidHandle);
}

uint32_t PutText(const std::string& text, char* buffer, int32_t* length)
{
    Required(length);
    const int32_t capacity = ReadHost(length);
    const int32_t size = TextLength(text);
    if (!buffer) {
        WriteHost(length, size + 1);
        return 0;
    }
    if (capacity <= size) {
        WriteHost(length, size + 1);
        return SetError(kErrBufferTooSmall);
    }
    CopyWithNul(text, size, buffer);
    WriteHost(length, size);
    return 0;
}

uint32_t PutTextTruncated(const std::string& text, char* buffer, int32_t* length)
{
    Required(length);
    const int32_t size = TextLength(text);
    const int32_t room = std::max(ReadHost(length), 0);
    WriteHost(length, size + 1);
    if (!buffer)
        return 0;
    if (size < room) {
        CopyWithNul(text, size, buffer);
        return 0;
    }
    if (room > 0)
        CopyWithNul(text, room - 1, buffer);
    return kErrBufferTooSmall;
}

void PutBool(int32_t* out, bool value)
{
    WriteHost(Required(out), CiBool(value));
}
