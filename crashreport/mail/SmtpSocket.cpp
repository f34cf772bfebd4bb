#include "mail/SmtpSocket.h"

#include <ws2tcpip.h>

#include <algorithm>

#include "mail/Ipv4Address.h"
#include "win32/SysErrorMessage.h"

namespace {

constexpr size_t kReceiveBlock = 4096;

uint32_t WsaError() { return static_cast<uint32_t>(WSAGetLastError()); }

bool SetBlocking(SOCKET socket, bool blocking)
{
    u_long nonBlocking = blocking ? 0 : 1;
    return ioctlsocket(socket, FIONBIO, &nonBlocking) == 0;
}

} // namespace

TSmtpSocket::TSmtpSocket(int timeoutMs) : timeoutMs_(timeoutMs)
{
    WSADATA data;
    const int started = WSAStartup(MAKEWORD(1, 1), &data);
    started_ = started == 0;
    lastError_ = static_cast<uint32_t>(started);
}

TSmtpSocket::~TSmtpSocket()
{
    if (socket_ != INVALID_SOCKET)
        closesocket(socket_);
    if (started_)
        WSACleanup();
}

bool TSmtpSocket::Failed(uint32_t code)
{
    lastError_ = code;
    return false;
}

// Writable: connected; in the failed set: the connect's own error (a refusal, say).
bool TSmtpSocket::AwaitConnection()
{
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(socket_, &writable);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(socket_, &failed);
    timeval timeout{timeoutMs_ / 1000, (timeoutMs_ % 1000) * 1000};
    const int ready = select(0, nullptr, &writable, &failed, &timeout);
    if (ready == SOCKET_ERROR)
        return Failed(WsaError());
    if (ready == 0)
        return Failed(WSAETIMEDOUT);
    if (FD_ISSET(socket_, &writable))
        return true;
    int error = 0;
    int size = sizeof(error);
    getsockopt(socket_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
    return Failed(error != 0 ? static_cast<uint32_t>(error) : WSAECONNREFUSED);
}

AnsiString TSmtpSocket::NoConnection(uint32_t code)
{
    lastError_ = code;
    return "No connection to server";
}

AnsiString TSmtpSocket::Connect(const AnsiString& host, uint16_t port)
{
    if (!started_)
        return NoConnection(lastError_);
    in_addr address{};
    if (!ResolveIpv4(host, address)) {
        Failed(WSAGetLastError() != 0 ? WsaError() : WSAHOST_NOT_FOUND);
        return "Server not found (" + SysErrorMessageA(lastError_) + ")";
    }
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ == INVALID_SOCKET || !SetBlocking(socket_, false))
        return NoConnection(WsaError());
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr = address;
    if (connect(socket_, reinterpret_cast<const sockaddr*>(&target), sizeof(target)) != 0 &&
        WSAGetLastError() != WSAEWOULDBLOCK)
        return NoConnection(WsaError());
    if (!AwaitConnection())
        return NoConnection(lastError_);
    const bool blocking =
        SetBlocking(socket_, true) &&
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs_), sizeof(timeoutMs_)) == 0 &&
        setsockopt(socket_, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeoutMs_), sizeof(timeoutMs_)) == 0;
    return blocking ? AnsiString() : NoConnection(WsaError());
}

bool TSmtpSocket::Send(std::string_view data)
{
    while (!data.empty()) {
        const int sent = send(socket_, data.data(), static_cast<int>(std::min<size_t>(data.size(), 1 << 20)), 0);
        if (sent <= 0)
            return Failed(WsaError());
        data.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

bool TSmtpSocket::Receive(std::string& into)
{
    char block[kReceiveBlock];
    const int received = recv(socket_, block, sizeof(block), 0);
    if (received == 0)
        return Failed(WSAEDISCON);
    if (received < 0)
        return Failed(WsaError());
    into.append(block, static_cast<size_t>(received));
    return true;
}
