#pragma once
// TLS over a connected mail socket through the system's Schannel security package, loaded by
// name. The server's certificate is checked here (chain and host name), as the package may
// not do it by itself; the check can be turned off. A server's renegotiation, and the messages
// a TLS 1.3 server sends after its handshake (session tickets), are taken while receiving: the
// handshake goes on and the certificate is checked again before the reading resumes. A package
// that cannot start a renegotiation declines it, as TLS 1.2 allows.
#include <windows.h>
#define SECURITY_WIN32
#include <security.h>
#include <schannel.h>

#include <string>
#include <string_view>

#include "mail/SmtpSocket.h"
#include "text/ZelTypes.h"

class TSchannelStream {
public:
    TSchannelStream() = default;
    ~TSchannelStream();
    TSchannelStream(const TSchannelStream&) = delete;
    TSchannelStream& operator=(const TSchannelStream&) = delete;

    bool Handshake(TSmtpSocket& socket, const AnsiString& host, bool checkCertificate);
    bool Send(TSmtpSocket& socket, std::string_view data);
    // Appends decrypted data; false at the stream's end or on an error.
    bool Receive(TSmtpSocket& socket, std::string& into);
    void Shutdown(TSmtpSocket& socket);
    // Why the last step failed: the package's status, the certificate check's error or the
    // connection's WinSock code.
    uint32_t ErrorCode() const { return errorCode_; }

private:
    bool Acquire();
    // Feeds what is received to the handshake until it is done. The first handshake receives
    // first; a renegotiation starts with what was left over, even nothing.
    bool HandshakeLoop(TSmtpSocket& socket, SECURITY_STATUS status, bool renegotiation);
    bool Established();
    bool TakeDecrypted(const SecBuffer (&buffers)[4], std::string& into);
    bool SendToken(TSmtpSocket& socket, SecBuffer& token);
    bool CertificateTrusted();
    bool Fail(uint32_t code);

    PSecurityFunctionTableW table_ = nullptr;
    CredHandle credentials_{};
    bool haveCredentials_ = false;
    CtxtHandle context_{};
    bool haveContext_ = false;
    SecPkgContext_StreamSizes sizes_{};
    std::wstring host_;
    bool checkCertificate_ = true;
    // Received and not yet decrypted.
    std::string pending_;
    uint32_t errorCode_ = 0;
};
