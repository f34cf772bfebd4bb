// A link's configuration: its connection string, single values of it, its provider and
// its settings dialogs.
#include "api/ApiFrame.h"
#include "ConnectionString.h"
#include "HostMemory.h"
#include "dialogs/ConnectionStringDialog.h"
#include "links/ProviderName.h"
#include "conduvex.h"

#include <optional>

namespace {

constexpr char kUnknownParameterText[] = "Unknown parametter.";
constexpr char kNullParameterText[] = "Parametter can't be null.";

// A boolean answer, or the code of what went wrong, in one 32-bit result.
template <class Work>
int32_t CiCallLinkBool(uint32_t handle, Work&& work)
{
    return static_cast<int32_t>(CiCallLink(handle, [&](ICommunicationInterface& link) {
        return static_cast<uint32_t>(CiBool(work(link)));
    }));
}

// Copies the accepted text into the host's buffer by the dialog's own rules: the needed
// length (NUL included) when it does not fit, else the text; accepted only when non-empty.
uint32_t PutAcceptedText(const std::string& text, char* buffer, int32_t capacity,
                         int32_t* length, CI_BOOL* accepted)
{
    const auto size = static_cast<int32_t>(text.size());
    if (size >= capacity) {
        WriteHost(length, size + 1);
        return SetError(kErrBufferTooSmall);
    }
    CopyToHost(buffer, text.c_str(), text.size() + 1);
    WriteHost(length, size);
    WriteHost(accepted, CiBool(size > 0));
    return 0;
}

} // namespace

extern "C" uint32_t CI_CALL ciGetConfig(CI_HANDLE handle, char* buffer, int32_t* length)
{
    return CiCallLink(handle, [&](ICommunicationInterface& link) {
        return PutText(link.GetConnectionString(), buffer, length);
    });
}

extern "C" uint32_t CI_CALL ciSetConfig(CI_HANDLE handle, const char* connectionString)
{
    return CiCallLink(handle, [&](ICommunicationInterface& link) -> uint32_t {
        link.SetConnectionString(HostText(connectionString));
        return 0;
    });
}

extern "C" uint32_t CI_CALL ciGetConfigValue(CI_HANDLE handle, const char* key, char* buffer,
                                            int32_t* length)
{
    return CiCallLink(handle, [&](ICommunicationInterface& link) {
        const TConnectionString settings(link.GetConnectionString());
        const std::optional<std::string> value = settings.GetValue(HostText(key));
        if (!value)
            throw EConduvexError(kUnknownParameterText, kErrInvalidParameters);
        return PutText(*value, buffer, length);
    });
}

extern "C" uint32_t CI_CALL ciGetProvider(CI_HANDLE handle, char* buffer, int32_t* length)
{
    return CiCallLink(handle, [&](ICommunicationInterface& link) {
        return PutText(ProviderNameOf(link), buffer, length);
    });
}

extern "C" int32_t CI_CALL ciConfigDialogAvailable(CI_HANDLE handle)
{
    return CiCallLinkBool(handle, [](ICommunicationInterface& link) {
        return link.ConfigDialogAvailable();
    });
}

extern "C" int32_t CI_CALL ciExecuteConfigDialog(CI_HANDLE handle)
{
    return CiCallLinkBool(handle, [](ICommunicationInterface& link) {
        return link.ExecuteConfigDialog();
    });
}

extern "C" uint32_t CI_CALL ciGetConnectionStringDlg(char* buffer, int32_t* length,
                                                    CI_BOOL* accepted, const char* initial,
                                                    const char* caption)
{
    return CiCall([&]() -> uint32_t {
        const int32_t capacity = ReadHost(Required(length));
        WriteHost(Required(accepted), kCiFalse);
        if (capacity <= 0)
            return SetError(kErrBufferTooSmall);
        if (!buffer)
            throw EConduvexError(kNullParameterText, kErrInvalidParameters);
        WriteHost(buffer, '\0');
        const std::string initialText = HostText(initial);
        const std::optional<std::string> captionText =
            caption ? std::optional<std::string>(HostText(caption)) : std::nullopt;
        const std::optional<std::string> edited = ExecuteConnectionStringDialog(
            initialText, captionText ? captionText->c_str() : nullptr);
        if (!edited)
            return 0;
        return PutAcceptedText(*edited, buffer, capacity, length, accepted);
    });
}
