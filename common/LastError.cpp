#include "LastError.h"

#include "ConduvexError.h"
#include "ResultCodes.h"

namespace {

struct TLastError {
    uint32_t code = 0;
    std::string text;
};

TLastError& State()
{
    static TLastError state;
    return state;
}

} // namespace

uint32_t ClearError()
{
    return SetError(0, {});
}

uint32_t SetError(uint32_t code, const std::string& text)
{
    TLastError& state = State();
    state.code = code;
    state.text = text.empty() ? std::string(ResultCodeText(code)) : text;
    return code;
}

uint32_t SetExceptionError(std::exception_ptr caught)
{
    if (!caught)
        return ClearError();
    try {
        std::rethrow_exception(caught);
    } catch (const EConduvexError& error) {
        return SetError(error.Code(), error.what());
    } catch (const std::exception& error) {
        return SetError(kErrException, error.what());
    } catch (...) {
        return SetError(kErrException);
    }
}

uint32_t LastErrorCode()
{
    return State().code;
}

const std::string& LastErrorMessage()
{
    return State().text;
}
