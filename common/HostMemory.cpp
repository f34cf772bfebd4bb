#include "HostMemory.h"

#include "FaultGuard.h"

#include <cstring>

namespace {

void GuardedCopy(void* target, const void* source, size_t size)
{
    if (size > 0)
        Guarded([&] { std::memcpy(target, source, size); });
}

} // namespace

std::string HostText(const char* text)
{
    if (!text)
        return {};
    size_t length = 0;
    Guarded([&] { length = std::strlen(text); });
    std::string copy(length, '\0');
    CopyFromHost(copy.data(), text, length);
    return copy;
}

std::string HostBytes(const void* bytes, int32_t length)
{
    if (length <= 0)
        return {};
    std::string copy(static_cast<size_t>(length), '\0');
    CopyFromHost(copy.data(), bytes, copy.size());
    return copy;
}

void CopyFromHost(void* target, const void* hostSource, size_t size)
{
    GuardedCopy(target, hostSource, size);
}

void CopyToHost(void* hostTarget, const void* source, size_t size)
{
    GuardedCopy(hostTarget, source, size);
}
