// The library's identity, and the Conduvex functions Iobrant offers under their own names:
// the last error (one for both libraries), Conduvex's handles and its connection dialog.
#include "binding/ConduvexBinding.h"
#include "api/IobrantApiFrame.h"
#include "iobrant.h"

#include <algorithm>

namespace {

constexpr const char* kIobrantVersion = PRODUCT_VERSION_TEXT;

// Runs a Conduvex function: a missing library leaves 0x20000015 (which then cannot be
// stored) and anything thrown 0x20000016; both give `failed`.
template <class Value, class Call>
Value ForwardToConduvex(Value failed, Call call) noexcept
{
    try {
        TConduvexBinding& binding = ProcessConduvex();
        if (!binding.Bind()) {
            IobrantSetLastError(kErrLibraryMissing);
            return failed;
        }
        return call(binding.Functions());
    } catch (...) {
        IobrantSetLastError(kErrCritical);
        return failed;
    }
}

// Conduvex gets copies of what the host passed and fills this library's copies of its
// buffers, which then go to the host: the host's pointers are reached only under the guard.
uint32_t RunConnectionStringDialog(const TConduvexFunctions& f, char* buffer, int32_t* length, CI_BOOL* accepted,
                                   const char* initial, const char* caption)
{
    const std::string initialText = HostText(initial);
    const std::string captionText = HostText(caption);
    const int32_t given = length ? ReadHost(length) : 0;
    int32_t capacity = given;
    CI_BOOL acceptedCopy = CI_FALSE;
    std::string text(static_cast<size_t>(std::max(given, 1)), '\0');
    const uint32_t result =
        f.ciGetConnectionStringDlg(buffer ? text.data() : nullptr, length ? &capacity : nullptr,
                                   accepted ? &acceptedCopy : nullptr, initial ? initialText.c_str() : nullptr,
                                   caption ? captionText.c_str() : nullptr);
    // Without a length or an accepted flag Conduvex changed nothing.
    if (!length || !accepted)
        return result;
    WriteHost(length, capacity);
    WriteHost(accepted, acceptedCopy);
    if (buffer && given > 0)
        CopyToHost(buffer, text.c_str(), std::min(text.find('\0'), text.size() - 1) + 1);
    return result;
}

} // namespace

// Tells which Iobrant this is even without Conduvex; leaves the last error alone unless
// it fails.
extern "C" uint32_t Q_CALL DllInfo(char* buffer, int32_t* length)
{
    try {
        return PutLibraryText(std::string("Iobrant ") + kIobrantVersion, buffer, length);
    } catch (...) {
        return ReportCaughtException();
    }
}

extern "C" uint32_t Q_CALL ciGetConnectionStringDlg(char* buffer, int32_t* length, CI_BOOL* accepted,
                                                    const char* initial, const char* caption)
{
    return ForwardToConduvex(kErrLibraryMissing, [&](const TConduvexFunctions& f) {
        return QCall([&] { return RunConnectionStringDialog(f, buffer, length, accepted, initial, caption); });
    });
}

extern "C" CI_HANDLE Q_CALL ciHandleByIndex(int32_t index)
{
    return ForwardToConduvex(0u, [&](const TConduvexFunctions& f) { return f.ciHandleByIndex(index); });
}

extern "C" int32_t Q_CALL ciHandlesCount()
{
    return ForwardToConduvex(-1, [](const TConduvexFunctions& f) { return f.ciHandlesCount(); });
}

// Exported as "SetLastError"; the system has a function of that name too.
extern "C" uint32_t Q_CALL IobrantSetLastErrorExport(uint32_t code, const char* text)
{
    try {
        return IobrantSetLastError(code, HostText(text));
    } catch (...) {
        return ReportCaughtException();
    }
}

extern "C" uint32_t Q_CALL LastErrorText(char* buffer, int32_t* length)
{
    return IobrantLastErrorText(buffer, length);
}

extern "C" uint32_t Q_CALL LastError()
{
    return IobrantLastError();
}
