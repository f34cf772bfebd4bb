#include "binding/ForwardedError.h"

#include "binding/ConduvexBinding.h"
#include "ConduvexError.h"
#include "HostMemory.h"
#include "ResultCodes.h"

#include <algorithm>
#include <vector>

namespace {

// Runs a forwarded call; a missing library and a failing call get their own codes. The one
// error of the library's class a call raises is a fault on the host's memory, which becomes
// the last error as Conduvex would have made it.
template <class Call>
uint32_t Forward(Call call)
{
    try {
        TConduvexBinding& binding = ProcessConduvex();
        if (!binding.Bind())
            return kErrLibraryMissing;
        return call(binding.Functions());
    } catch (const EConduvexError& fault) {
        return IobrantSetLastError(fault.Code(), fault.what());
    } catch (...) {
        return kErrCritical;
    }
}

std::string MessageOf(std::exception_ptr caught)
{
    try {
        std::rethrow_exception(caught);
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return {};
    }
}

} // namespace

uint32_t IobrantLastError()
{
    return Forward([](const TConduvexFunctions& f) { return f.LastError(); });
}

// Conduvex fills a buffer of this library's as large as the host's (the text's size at
// most), so that the host's pointers are reached only here, under the guard.
uint32_t IobrantLastErrorText(char* buffer, int32_t* length)
{
    return Forward([&](const TConduvexFunctions& f) {
        if (!length)
            return f.LastErrorText(nullptr, nullptr);
        int32_t needed = 0;
        f.LastErrorText(nullptr, &needed);
        const int32_t room = std::min(ReadHost(length), needed);
        std::vector<char> text(static_cast<size_t>(std::max(room, 1)));
        int32_t filled = room;
        const uint32_t result = f.LastErrorText(buffer ? text.data() : nullptr, &filled);
        if (buffer && room > 0)
            CopyToHost(buffer, text.data(), static_cast<size_t>(room));
        WriteHost(length, filled);
        return result;
    });
}

uint32_t IobrantSetLastError(uint32_t code, const std::string& text)
{
    return Forward([&](const TConduvexFunctions& f) {
        return f.SetLastError(code, text.empty() ? nullptr : text.c_str());
    });
}

uint32_t IobrantClearError()
{
    return IobrantSetLastError(0);
}

uint32_t IobrantHandleException(std::exception_ptr caught)
{
    if (!caught)
        IobrantClearError();
    else
        IobrantSetLastError(kErrException, MessageOf(caught));
    return IobrantLastError();
}
