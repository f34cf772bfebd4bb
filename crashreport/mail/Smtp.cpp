#include "mail/Smtp.h"

#include <windows.h>

#include "crypto/Base64.h"
#include "mail/SchannelStream.h"
#include "net/EhloFeatures.h"
#include "net/SmtpPort.h"
#include "net/SmtpReply.h"

namespace {

AnsiString ComputerName()
{
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof(name);
    return GetComputerNameA(name, &size) ? AnsiString(name, size) : AnsiString("localhost");
}

AnsiString ToAnsi(const UnicodeString& text)
{
    if (text.empty())
        return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.c_str());
    const int size = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    AnsiString bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

} // namespace

TSmtp::TSmtp(const TSmtpServer& server) : socket_(server.timeoutMs)
{
    if (!Connect(server))
        return;
    if (server.ssl && !StartTls(server, true))
        return;
    if (!ReadReply() || SmtpReplyCode(reply_) != 220) {
        FailWithReply("HELO failed");
        return;
    }
    const AnsiString heloHost = server.heloHost.empty() ? ComputerName() : server.heloHost;
    if (!Hello(heloHost)) {
        FailWithReply("HELO failed");
        return;
    }
    helloDone_ = true;
    const bool hasCredentials = !server.account.empty() || !server.password.empty();
    const bool offered = !server.ssl && OffersStartTls(ehloReply_);
    if (!server.ssl && server.tls && !offered) {
        Fail("TLS failed", ERROR_NOT_SUPPORTED);
        return;
    }
    if (offered && (server.tls || (!server.account.empty() && !OffersAuth(ehloReply_)))) {
        if (!Command("STARTTLS", 220)) {
            Fail("TLS failed", CommandFailureCode());
            return;
        }
        if (!StartTls(server, false))
            return;
        if (!Hello(heloHost)) {
            FailWithReply("2nd HELO failed");
            return;
        }
    }
    if (!OffersAuthLogin(ehloReply_) || !hasCredentials) {
        authenticated_ = true;
        return;
    }
    authenticated_ = Authenticate(server);
}

TSmtp::~TSmtp()
{
    // A mail cut short is abandoned by hanging up: its final "." would have the server deliver
    // it cut, and any command now would only be more mail text.
    if (dataBegun_ && !dataFinished_) {
        if (tls_)
            tls_->Shutdown(socket_);
        return;
    }
    if (helloDone_ && !quitSent_) {
        Command("RSET", 250);
        Command("QUIT", 221);
    }
    if (tls_)
        tls_->Shutdown(socket_);
}

bool TSmtp::TlsUp() const { return tls_ != nullptr; }

bool TSmtp::Connect(const TSmtpServer& server)
{
    const bool hasCredentials = !server.account.empty() || !server.password.empty();
    const AnsiString failure =
        socket_.Connect(server.host, DefaultSmtpPort(server.port, server.ssl, server.tls, hasCredentials));
    return failure.empty() || Fail(failure, socket_.LastError());
}

bool TSmtp::Hello(const AnsiString& heloHost)
{
    if (Command("EHLO " + heloHost, 250)) {
        ehloReply_ = reply_;
        return true;
    }
    ehloReply_.clear();
    return Command("HELO " + heloHost, 250);
}

bool TSmtp::StartTls(const TSmtpServer& server, bool implicit)
{
    auto stream = std::make_unique<TSchannelStream>();
    if (!stream->Handshake(socket_, server.host, !server.acceptAnyCertificate))
        return Fail(implicit ? "SSL failed" : "TLS failed", stream->ErrorCode());
    tls_ = std::move(stream);
    return true;
}

bool TSmtp::Authenticate(const TSmtpServer& server)
{
    const bool accepted = Command("AUTH LOGIN", 334) && Command(EncodeBase64Str(ToAnsi(server.account)), 334) &&
                          Command(EncodeBase64Str(ToAnsi(server.password)), 235);
    return accepted || FailWithReply("Authentication failed");
}

bool TSmtp::Command(std::string_view text, int expected)
{
    AnsiString line(text);
    line += "\r\n";
    commandError_ = 0;
    if (!SendRaw(line))
        return false;
    if (line.starts_with("QUIT"))
        quitSent_ = true;
    return ReadReply() && SmtpReplyCode(reply_) == expected;
}

bool TSmtp::BeginData()
{
    dataBegun_ = Command("DATA", 354);
    return dataBegun_;
}

bool TSmtp::SendData(std::string_view text) { return SendRaw(stuffer_.Apply(text)); }

bool TSmtp::Finish(std::string_view closingText)
{
    bool accepted = false;
    if (dataBegun_ && !dataFinished_) {
        accepted = (SendData(closingText) && Command("\r\n.", 250)) || CommandFailed();
        dataFinished_ = true;
    }
    if (helloDone_ && !quitSent_)
        Command("QUIT", 221);
    return accepted;
}

bool TSmtp::SendRaw(std::string_view data)
{
    if (tls_ ? tls_->Send(socket_, data) : socket_.Send(data))
        return true;
    reply_.clear();
    return TransportFailed();
}

bool TSmtp::TransportFailed()
{
    commandError_ = tls_ ? tls_->ErrorCode() : socket_.LastError();
    return false;
}

// A reply followed by anything else is refused: after STARTTLS's answer no plaintext may be
// taken for part of the encrypted stream.
bool TSmtp::ReadReply()
{
    reply_.clear();
    for (;;) {
        const bool received = tls_ ? tls_->Receive(socket_, reply_) : socket_.Receive(reply_);
        if (!received)
            return TransportFailed();
        switch (SmtpReplyState(reply_)) {
        case TSmtpReplyState::Complete:
            return true;
        case TSmtpReplyState::Malformed:
            // No reply of the server's: its bytes (up to the reply limit) are no text for the user.
            reply_.clear();
            commandError_ = ERROR_INVALID_DATA;
            return false;
        case TSmtpReplyState::Incomplete:
            break;
        }
    }
}

bool TSmtp::Fail(const AnsiString& text, uint32_t code)
{
    error_ = text;
    errorCode_ = code;
    return false;
}

uint32_t TSmtp::CommandFailureCode() const
{
    const int replyCode = SmtpReplyCode(reply_);
    return replyCode != 0 ? static_cast<uint32_t>(replyCode) : commandError_;
}

bool TSmtp::FailWithReply(const AnsiString& step)
{
    const std::string_view reply = SmtpReplyText(reply_);
    return Fail(reply.empty() ? step : step + " (" + AnsiString(reply) + ")", CommandFailureCode());
}

bool TSmtp::CommandFailed()
{
    const std::string_view reply = SmtpReplyText(reply_);
    return Fail(reply.empty() ? AnsiString("No connection to server") : AnsiString(reply), CommandFailureCode());
}
