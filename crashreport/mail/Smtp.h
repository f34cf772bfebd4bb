#pragma once
// One SMTP session: connect, greeting, EHLO (or HELO), TLS when asked for and AUTH LOGIN.
// Credentials never go out over a connection whose TLS was asked for but not established.
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "mail/MailExchanger.h"
#include "mail/SmtpSocket.h"
#include "net/MimeMail.h"
#include "text/ZelTypes.h"

class TSchannelStream;

struct TSmtpServer {
    AnsiString host; // empty: each recipient's own mail exchanger (port 25 unless given)
    uint16_t port = 0; // 0: by the TLS options and credentials
    bool ssl = false;  // TLS from the first byte
    bool tls = false;  // STARTTLS
    UnicodeString account;
    UnicodeString password;
    AnsiString heloHost; // empty: the computer name
    // Server certificates are checked (chain and host name) unless this is set.
    bool acceptAnyCertificate = false;
    // The connect and every receive.
    int timeoutMs = TSmtpSocket::kTimeoutMs;
    // Where the exchangers are looked up without a host; none: the system's DNS servers. Without
    // any DNS server the walk goes down from the root servers.
    std::optional<std::vector<TDnsServer>> dnsServers;
    // How long each DNS query waits for its answer.
    int dnsAnswerWaitMs = kDnsAnswerWaitMs;
    // The walk's start; empty: RootDnsServers().
    std::vector<TDnsServer> rootServers;
};

class TSmtp {
public:
    explicit TSmtp(const TSmtpServer& server);
    ~TSmtp();
    TSmtp(const TSmtp&) = delete;
    TSmtp& operator=(const TSmtp&) = delete;

    bool Authenticated() const { return authenticated_; }
    bool TlsUp() const;
    // The last failure: the text and its code, which is the server's reply code when the server
    // refused, else the system's code (WinSock, the security package, the certificate check).
    const AnsiString& Error() const { return error_; }
    uint32_t ErrorCode() const { return errorCode_; }

    // The text and CR LF; true when the reply carries the expected code.
    bool Command(std::string_view text, int expected);
    // "DATA" expecting 354.
    bool BeginData();
    // Mail text after DATA, dot-stuffed.
    bool SendData(std::string_view text);
    // The mail's closing text, the final "." and QUIT; true when the server took the mail (QUIT's
    // reply does not count).
    bool Finish(std::string_view closingText);
    // Keeps the last command's failure as the error: the server's reply, or without one "No
    // connection to server"; false.
    bool CommandFailed();
    bool Fail(const AnsiString& text, uint32_t code);

private:
    bool Connect(const TSmtpServer& server);
    bool Hello(const AnsiString& heloHost);
    bool StartTls(const TSmtpServer& server, bool implicit);
    bool Authenticate(const TSmtpServer& server);
    bool SendRaw(std::string_view data);
    bool ReadReply();
    bool TransportFailed();
    // The failed step's text, followed by the reply in parentheses when one came.
    bool FailWithReply(const AnsiString& step);
    uint32_t CommandFailureCode() const;

    TSmtpSocket socket_;
    std::unique_ptr<TSchannelStream> tls_;
    TDotStuffer stuffer_;
    AnsiString error_;
    uint32_t errorCode_ = 0;
    AnsiString reply_;
    // Why the last command got no reply: the connection's code, or ERROR_INVALID_DATA for a
    // reply that breaks the protocol.
    uint32_t commandError_ = 0;
    AnsiString ehloReply_;
    bool helloDone_ = false;
    bool authenticated_ = false;
    bool dataBegun_ = false;
    bool dataFinished_ = false;
    bool quitSent_ = false;
};
