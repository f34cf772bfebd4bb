#pragma once
// A blocking TCP connection for the mail route: WinSock started for its lifetime, the
// connect and every receive bounded by a time-out.
#include <winsock2.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "text/ZelTypes.h"

class TSmtpSocket {
public:
    static constexpr int kTimeoutMs = 7000;

    explicit TSmtpSocket(int timeoutMs = kTimeoutMs);
    ~TSmtpSocket();
    TSmtpSocket(const TSmtpSocket&) = delete;
    TSmtpSocket& operator=(const TSmtpSocket&) = delete;

    // Empty on success, else the error text.
    AnsiString Connect(const AnsiString& host, uint16_t port);
    bool Send(std::string_view data);
    // Appends what arrives; false on time-out, error or the peer's close.
    bool Receive(std::string& into);
    // The WinSock code of the last failure: WSAETIMEDOUT when nothing came in time, WSAEDISCON
    // when the peer closed the connection.
    uint32_t LastError() const { return lastError_; }

private:
    bool Failed(uint32_t code);
    AnsiString NoConnection(uint32_t code);
    bool AwaitConnection();

    int timeoutMs_;
    bool started_ = false;
    SOCKET socket_ = INVALID_SOCKET;
    uint32_t lastError_ = 0;
};
