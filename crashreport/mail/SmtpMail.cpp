#include "mail/SmtpMail.h"

#include <windows.h>

#include <memory>

#include "net/MailText.h"
#include "net/MimeMail.h"
#include "win32/WinFile.h"

namespace {

struct TAttachment {
    std::unique_ptr<TWinFile> file;
    UnicodeString sendAsName;
};

std::vector<TAttachment> OpenAttachments(const TSmtpMail& mail)
{
    std::vector<TAttachment> opened;
    for (size_t index = 0; index < mail.files.size(); ++index) {
        auto file = std::make_unique<TWinFile>(CreateFileW(reinterpret_cast<const wchar_t*>(mail.files[index].c_str()),
                                                           GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file->IsOpen())
            continue;
        UnicodeString name = index < mail.sendAsNames.size() ? mail.sendAsNames[index] : UnicodeString();
        if (name.empty()) {
            const UnicodeString& path = mail.files[index];
            name = path.substr(path.find_last_of(u"\\/") == UnicodeString::npos ? 0 : path.find_last_of(u"\\/") + 1);
        }
        opened.push_back({std::move(file), std::move(name)});
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

bool SendEnvelope(TSmtp& smtp, const TSmtpMail& mail, const std::vector<UnicodeString>& recipients)
{
    if (!smtp.Command("MAIL FROM:<" + HeaderSafeLatin1(MailAddressOf(mail.sender)) + ">", 250))
        return false;
    bool accepted = false;
    for (const UnicodeString& recipient : recipients)
        accepted = smtp.Command("RCPT TO:<" + HeaderSafeLatin1(MailAddressOf(recipient)) + ">", 250) || accepted;
    return accepted && smtp.BeginData();
}

bool SendAttachment(TSmtp& smtp, const TAttachment& attachment, bool alwaysUtf8)
{
    if (SetFilePointer(attachment.file->Get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !smtp.SendData(AttachmentPartHeader(attachment.sendAsName, alwaysUtf8)))
        return false;
    uint8_t block[kAttachmentLineBytes];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(attachment.file->Get(), block, sizeof(block), &read, nullptr))
            return false;
        if (read == 0)
            return true;
        if (!smtp.SendData(AttachmentLine(block, read)))
            return false;
    }
}

TSmtpResult SendOneMail(const TSmtpMail& mail, const std::vector<UnicodeString>& recipients, const TSmtpServer& server,
                        const std::vector<TAttachment>& attachments)
{
    TSmtp smtp(server);
    if (!smtp.Authenticated())
        return {false, smtp.Error()};
    TMailHeaderInput header;
    header.to = recipients.front();
    header.from = mail.sender;
    header.replyTo = mail.replyTo.empty() ? mail.sender : mail.replyTo;
    header.subject = mail.subject;
    header.body = mail.body;
    header.now = Now();
    header.alwaysUtf8 = mail.alwaysUtf8;
    bool sent = SendEnvelope(smtp, mail, recipients) && smtp.SendData(MailHeaderText(header));
    for (const TAttachment& attachment : attachments)
        sent = sent && SendAttachment(smtp, attachment, mail.alwaysUtf8);
    // A mail the server refuses at its end was not sent.
    if (!sent || !smtp.Finish())
        return {false, smtp.Error().empty() ? smtp.LastReply() : smtp.Error()};
    return {true, {}};
}

// A mail of its own to each recipient's exchanger; sent when at least one went out.
TSmtpResult SendToExchangers(const TSmtpMail& mail, const std::vector<UnicodeString>& recipients,
                             const TSmtpServer& server, const std::vector<TAttachment>& attachments)
{
    const std::vector<TDnsServer> dnsServers = server.dnsServers.empty() ? SystemDnsServers() : server.dnsServers;
    TSmtpResult total{false, "No mail exchanger found"};
    for (const UnicodeString& recipient : recipients) {
        TSmtpServer exchanger = server;
        exchanger.host = LookupMailExchanger(recipient, dnsServers);
        if (exchanger.host.empty())
            continue;
        const TSmtpResult one = SendOneMail(mail, {recipient}, exchanger, attachments);
        total.sent = total.sent || one.sent;
        if (!one.sent)
            total.error = one.error;
    }
    if (total.sent)
        total.error.clear();
    return total;
}

} // namespace

TSmtpResult SendSmtpMail(const TSmtpMail& mail, const TSmtpServer& server)
{
    const std::vector<TAttachment> attachments = OpenAttachments(mail);
    const std::vector<UnicodeString> recipients = SplitRecipients(mail.recipients);
    if (recipients.empty())
        return {false, "No recipient"};
    return server.host.empty() ? SendToExchangers(mail, recipients, server, attachments)
                               : SendOneMail(mail, recipients, server, attachments);
}
