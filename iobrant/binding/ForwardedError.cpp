#include "binding/ForwardedError.h"

#include "binding/ConduvexBinding.h"
#include "ResultCodes.h"

namespace {

// Runs a forwarded call; a missing library and a failing call get their own codes.
template <class Call>
uint32_t Forward(Call call)
{
    try {
        TConduvexBinding& binding = ProcessConduvex();
        if (!binding.Bind())
            return kErrLibraryMissing;
        return call(binding.Functions());
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

uint32_t IobrantLastErrorText(char* buffer, int32_t* length)
{
    return Forward([&](const TConduvexFunctions& f) { return f.LastErrorText(buffer, length); });
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
