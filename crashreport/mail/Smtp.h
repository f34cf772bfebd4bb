#pragma once
// One SMTP session: connect, greeting, EHLO (or HELO), TLS when asked for and AUTH LOGIN.
// Credentials never go out over a connection whose TLS was asked for but not established.
#include <cstdint>
#include <memory>
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
    // Where the exchangers are looked up without a host; empty: the system's DNS servers, and
    // without any the walk down from the root servers.
    std::vector<TDnsServer> dnsServers;
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
    const AnsiString& Error() const { return error_; }
    const AnsiString& LastReply() const { return reply_; }

    // The text and CR LF; true when the reply carries the expected code.
    bool Command(std::string_view text, int expected);
    // "DATA" expecting 354.
    bool BeginData();
    // Mail text after DATA, dot-stuffed.
    bool SendData(std::string_view text);
    // The closing delimiter, the final "." and QUIT; true when the server took the mail (QUIT's
    // reply does not count).
    bool Finish();

private:
    bool Connect(const TSmtpServer& server);
    bool Hello(const AnsiString& heloHost);
    bool StartTls(const TSmtpServer& server, bool implicit);
    bool Authenticate(const TSmtpServer& server);
    bool SendRaw(std::string_view data);
    bool ReadReply();
    bool Fail(const AnsiString& text);

    TSmtpSocket socket_;
    std::unique_ptr<TSchannelStream> tls_;
    TDotStuffer stuffer_;
    AnsiString error_;
    AnsiString reply_;
    AnsiString ehloReply_;
    bool helloDone_ = false;
    bool authenticated_ = false;
    bool dataBegun_ = false;
    bool dataFinished_ = false;
    bool quitSent_ = false;
};
