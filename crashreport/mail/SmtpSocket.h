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

    TSmtpSocket();
    ~TSmtpSocket();
    TSmtpSocket(const TSmtpSocket&) = delete;
    TSmtpSocket& operator=(const TSmtpSocket&) = delete;

    // Empty on success, else the error text.
    AnsiString Connect(const AnsiString& host, uint16_t port);
    bool Send(std::string_view data);
    // Appends what arrives; false on time-out, error or the peer's close.
    bool Receive(std::string& into);

private:
    bool started_ = false;
    SOCKET socket_ = INVALID_SOCKET;
};
