#include "mapi/win/MapiMail.h"

#include <mapi.h>

#include "net/MailText.h"
#include "plugins/win/BoundLibrary.h"
#include "settings/win/DualText.h"

namespace {

struct TRecipientTexts {
    std::string name;
    std::string address;
};

std::vector<TRecipientTexts> Recipients(const UnicodeString& list)
{
    std::vector<TRecipientTexts> recipients;
    for (const UnicodeString& item : SplitRecipients(list)) {
        const size_t open = item.find(u'<');
        UnicodeString name = open == UnicodeString::npos ? item : item.substr(0, open);
        while (!name.empty() && name.back() == u' ')
            name.pop_back();
        recipients.push_back({WideToSystemAnsi(name), "SMTP:" + WideToSystemAnsi(MailAddressOf(item))});
    }
    return recipients;
}

// Moves a top-most parent out of the top-most band, and the watchdog out of the way, while the
// mail program runs.
class TMailProgramScope {
public:
    TMailProgramScope(HWND parent, const TMailClientHooks& hooks) : hooks_(hooks)
    {
        if (parent && IsWindow(parent) && (GetWindowLongPtrW(parent, GWL_EXSTYLE) & WS_EX_TOPMOST)) {
            topmost_ = parent;
            SetWindowPos(parent, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
        if (hooks_.pauseWatchdog)
            hooks_.pauseWatchdog(true);
    }
    ~TMailProgramScope()
    {
        if (hooks_.pauseWatchdog)
            hooks_.pauseWatchdog(false);
        if (topmost_ && IsWindow(topmost_))
            SetWindowPos(topmost_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    TMailProgramScope(const TMailProgramScope&) = delete;
    TMailProgramScope& operator=(const TMailProgramScope&) = delete;

private:
    const TMailClientHooks& hooks_;
    HWND topmost_ = nullptr;
};

} // namespace

TMapiResult SendViaMapi(const TMapiMail& mail, HWND parent, bool automatic, const TMailClientHooks& hooks,
                        const std::wstring& library)
{
    if (hooks.loaderLocked && hooks.loaderLocked())
        return TMapiResult::NotSent;
    const TBoundLibrary provider(library.c_str());
    const auto sendMail = provider.Bind<LPMAPISENDMAIL>("MAPISendMail");
    if (!sendMail)
        return TMapiResult::NotSent;

    const std::vector<TRecipientTexts> recipientTexts = Recipients(mail.recipients);
    std::vector<MapiRecipDesc> recipients(recipientTexts.size());
    for (size_t i = 0; i < recipients.size(); ++i) {
        recipients[i].ulRecipClass = MAPI_TO;
        recipients[i].lpszName = const_cast<char*>(recipientTexts[i].name.c_str());
        recipients[i].lpszAddress = const_cast<char*>(recipientTexts[i].address.c_str());
    }
    std::vector<std::string> paths;
    std::vector<std::string> names;
    for (const TMapiAttachment& file : mail.files) {
        paths.push_back(WideToSystemAnsi(file.path));
        names.push_back(WideToSystemAnsi(file.sendAsName));
    }
    std::vector<MapiFileDesc> files(mail.files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        files[i].nPosition = static_cast<ULONG>(-1);
        files[i].lpszPathName = paths[i].data();
        files[i].lpszFileName = names[i].data();
    }
    std::string subject = WideToSystemAnsi(mail.subject);
    std::string body = WideToSystemAnsi(mail.body);
    MapiMessage message{};
    message.lpszSubject = subject.data();
    message.lpszNoteText = body.data();
    message.nRecipCount = static_cast<ULONG>(recipients.size());
    message.lpRecips = recipients.empty() ? nullptr : recipients.data();
    message.nFileCount = static_cast<ULONG>(files.size());
    message.lpFiles = files.empty() ? nullptr : files.data();
    const FLAGS flags = !automatic || recipients.empty() ? MAPI_LOGON_UI | MAPI_DIALOG : 0;

    ULONG result = MAPI_E_FAILURE;
    {
        const TMailProgramScope scope(parent, hooks);
        result = sendMail(0, reinterpret_cast<ULONG_PTR>(parent), &message, flags, 0);
    }
    if (result == SUCCESS_SUCCESS)
        return TMapiResult::Sent;
    return result == MAPI_USER_ABORT ? TMapiResult::Cancelled : TMapiResult::NotSent;
}
