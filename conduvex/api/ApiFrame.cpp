#include "api/ApiFrame.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

std::atomic<TCaughtExceptionObserver> caughtObserver{nullptr};

int32_t TextLength(const std::string& text)
{
    return static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX - 1));
}

void CopyWithNul(const std::string& text, int32_t count, char* buffer)
{
    std::memcpy(buffer, text.data(), static_cast<size_t>(count));
    buffer[count] = '\0';
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
    int32_t& capacity = Required(length);
    const int32_t size = TextLength(text);
    if (!buffer) {
        capacity = size + 1;
        return 0;
    }
    if (capacity <= size) {
        capacity = size + 1;
        return SetError(kErrBufferTooSmall);
    }
    CopyWithNul(text, size, buffer);
    capacity = size;
    return 0;
}

uint32_t PutTextTruncated(const std::string& text, char* buffer, int32_t* length)
{
    int32_t& capacity = Required(length);
    const int32_t size = TextLength(text);
    const int32_t room = std::max(capacity, 0);
    capacity = size + 1;
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
    Required(out) = CiBool(value);
}
