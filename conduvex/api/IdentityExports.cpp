// The library's identity and the last-error exports.
#include "api/ApiFrame.h"
#include "HostMemory.h"
#include "conduvex.h"

namespace {

constexpr const char* kConduvexVersion = PRODUCT_VERSION_TEXT;

} // namespace

extern "C" uint32_t CI_CALL Info(char* buffer, int32_t* length)
{
    return CiCall([&] {
        return PutText(std::string("Conduvex ") + kConduvexVersion, buffer, length);
    });
}

extern "C" uint32_t CI_CALL LastError()
{
    return LastErrorCode();
}

// Reading the error must not clear it, so this one runs outside the common frame.
extern "C" uint32_t CI_CALL LastErrorText(char* buffer, int32_t* length)
{
    try {
        return PutTextTruncated(LastErrorMessage(), buffer, length);
    } catch (...) {
        return ReportCaughtException();
    }
}

// Exported as "SetLastError"; the system has a function of that name too.
extern "C" uint32_t CI_CALL ConduvexSetLastError(uint32_t code, const char* text)
{
    return CiCall([&] { return SetError(code, HostText(text)); });
}
