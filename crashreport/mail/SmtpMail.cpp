#include "mail/SmtpMail.h"

#include <windows.h>

#include <algorithm>
#include <memory>

#include "net/MailText.h"
#include "net/MimeMail.h"
#include "win32/SysErrorMessage.h"
#include "win32/WinFile.h"

namespace {

struct TAttachment {
    std::unique_ptr<TWinFile> file;
    UnicodeString sendAsName;
    uint64_t size = 0;
};

std::vector<TAttachment> OpenAttachments(const TSmtpMail& mail)
{
    std::vector<TAttachment> opened;
    for (size_t index = 0; index < mail.files.size(); ++index) {
        auto file = std::make_unique<TWinFile>(CreateFileW(reinterpret_cast<const wchar_t*>(mail.files[index].c_str()),
                                                           GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size{};
        if (!file->IsOpen() || !GetFileSizeEx(file->Get(), &size))
            continue;
        UnicodeString name = index < mail.sendAsNames.size() ? mail.sendAsNames[index] : UnicodeString();
        if (name.empty()) {
            const UnicodeString& path = mail.files[index];
            name = path.substr(path.find_last_of(u"\\/") == UnicodeString::npos ? 0 : path.find_last_of(u"\\/") + 1);
        }
        opened.push_back({std::move(file), std::move(name), static_cast<uint64_t>(size.QuadPart)});
    }
    return opened;
}

TUtcTime Now()
{
    SYSTEMTIME time;
    GetSystemTime(&time);
    FILETIME fileTime;
    SystemTimeToFileTime(&time, &fileTime);
    return {time.wYear,   time.wMonth,  time.wDay,
            time.wHour,   time.wMinute, time.wSecond,
            static_cast<uint64_t>(fileTime.dwHighDateTime) << 32 | fileTime.dwLowDateTime};
}

// A refusal of the last recipient stays the error when none was accepted.
bool SendEnvelope(TSmtp& smtp, const TSmtpMail& mail, const std::vector<UnicodeString>& recipients)
{
    if (!smtp.Command("MAIL FROM:<" + HeaderSafeLatin1(MailAddressOf(mail.sender)) + ">", 250))
        return smtp.CommandFailed();
    bool accepted = false;
    for (const UnicodeString& recipient : recipients)
        accepted = smtp.Command("RCPT TO:<" + HeaderSafeLatin1(MailAddressOf(recipient)) + ">", 250) || accepted;
    return (accepted && smtp.BeginData()) || smtp.CommandFailed();
}

bool SendText(TSmtp& smtp, std::string_view text) { return smtp.SendData(text) || smtp.CommandFailed(); }

bool FileFailed(TSmtp& smtp)
{
    const auto code = static_cast<uint32_t>(GetLastError());
    return smtp.Fail(SysErrorMessageA(code), code);
}

bool SendAttachment(TSmtp& smtp, std::string_view boundary, const TAttachment& attachment, bool alwaysUtf8,
                    TMailProgress& progress)
{
    if (SetFilePointer(attachment.file->Get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return FileFailed(smtp);
    if (!SendText(smtp, AttachmentPartHeader(boundary, attachment.sendAsName, alwaysUtf8)))
        return false;
    uint8_t block[kAttachmentLineBytes];
    uint64_t sent = 0;
    while (sent < attachment.size) {
        const DWORD wanted = static_cast<DWORD>(std::min<uint64_t>(attachment.size - sent, sizeof(block)));
        DWORD read = 0;
        if (!ReadFile(attachment.file->Get(), block, wanted, &read, nullptr))
            return FileFailed(smtp);
        // A file that shrank since it was opened would go out cut short.
        if (read != wanted) {
            SetLastError(ERROR_HANDLE_EOF);
            return FileFailed(smtp);
        }
        if (!SendText(smtp, AttachmentLine(block, read)))
            return false;
        sent += read;
        progress.AttachmentDone(sent, attachment.size);
    }
    return true;
}

TSmtpResult SendOneMail(const TSmtpMail& mail, const std::vector<UnicodeString>& recipients, const TSmtpServer& server,
                        const std::vector<TAttachment>& attachments, TMailProgress& progress)
{
    TSmtp smtp(server);
    progress.Next();
    if (!smtp.Authenticated())
        return {false, smtp.Error(), smtp.ErrorCode()};
    TMailHeaderInput header;
    header.to = recipients.front();
    header.from = mail.sender;
    header.replyTo = mail.replyTo.empty() ? mail.sender : mail.replyTo;
    header.subject = mail.subject;
    header.body = mail.body;
    header.now = Now();
    header.alwaysUtf8 = mail.alwaysUtf8;
    const TMailHeaderText start = MailHeaderText(header);
    bool sent = SendEnvelope(smtp, mail, recipients) && SendText(smtp, start.text);
    progress.Next();
    for (const TAttachment& attachment : attachments) {
        sent = sent && SendAttachment(smtp, start.boundary, attachment, mail.alwaysUtf8, progress);
        progress.Next();
    }
    // A mail the server refuses at its end was not sent.
    if (!sent || !smtp.Finish(MailClosingText(start.boundary)))
        return {false, smtp.Error(), smtp.ErrorCode()};
    return {true, {}, 0};
}

// A mail of its own to each recipient's exchanger; sent when at least one went out.
TSmtpResult SendToExchangers(const TSmtpMail& mail, const std::vector<UnicodeString>& recipients,
                             const TSmtpServer& server, const std::vector<TAttachment>& attachments,
                             TMailProgress& progress)
{
    const std::vector<TDnsServer> dnsServers = server.dnsServers ? *server.dnsServers : SystemDnsServers();
    const std::vector<TDnsServer> roots = server.rootServers.empty() ? RootDnsServers() : server.rootServers;
    TSmtpResult total;
    for (size_t index = 0; index < recipients.size(); ++index) {
        progress.StartMail(index);
        const TMailExchangerLookup lookup = FindMailExchanger(recipients[index], dnsServers, roots, server.dnsAnswerWaitMs);
        progress.Next();
        TSmtpResult one{false, "Server not found (" + SysErrorMessageA(lookup.error) + ")", lookup.error};
        if (!lookup.exchanger.empty()) {
            TSmtpServer exchanger = server;
            exchanger.host = lookup.exchanger;
            one = SendOneMail(mail, {recipients[index]}, exchanger, attachments, progress);
        }
        if (one.sent)
            total.sent = true;
        else
            total = {total.sent, one.error, one.errorCode};
    }
    if (total.sent)
        total = {true, {}, 0};
    return total;
}

} // namespace

TSmtpResult SendSmtpMail(const TSmtpMail& mail, const TSmtpServer& server)
{
    const std::vector<TAttachment> attachments = OpenAttachments(mail);
    const std::vector<UnicodeString> recipients = SplitRecipients(mail.recipients);
    if (recipients.empty())
        return {false, "No recipient", ERROR_INVALID_PARAMETER};
    const bool ownServer = server.host.empty();
    std::vector<uint64_t> sizes;
    for (const TAttachment& attachment : attachments)
        sizes.push_back(attachment.size);
    TMailProgress progress(mail.alert, mail.progressTexts);
    progress.Plan(sizes, ownServer, ownServer ? recipients.size() : 1);
    const TSmtpResult result = ownServer ? SendToExchangers(mail, recipients, server, attachments, progress)
                                         : SendOneMail(mail, recipients, server, attachments, progress);
    progress.Close();
    return result;
}
