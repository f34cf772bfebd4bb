#include "mail/SmtpSocket.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>

#include "win32/SysErrorMessage.h"

namespace {

constexpr size_t kReceiveBlock = 4096;

bool ResolveIpv4(const AnsiString& host, in_addr& address)
{
    address.s_addr = inet_addr(host.c_str());
    if (address.s_addr != INADDR_NONE)
        return true;
    const hostent* found = gethostbyname(host.c_str());
    if (!found || found->h_addrtype != AF_INET || !found->h_addr_list[0])
        return false;
    std::memcpy(&address, found->h_addr_list[0], sizeof(address));
    return true;
}

bool WaitWritable(SOCKET socket)
{
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(socket, &writable);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(socket, &failed);
    timeval timeout{TSmtpSocket::kTimeoutMs / 1000, (TSmtpSocket::kTimeoutMs % 1000) * 1000};
    return select(0, nullptr, &writable, &failed, &timeout) == 1 && FD_ISSET(socket, &writable);
}

bool SetBlocking(SOCKET socket, bool blocking)
{
    u_long nonBlocking = blocking ? 0 : 1;
    return ioctlsocket(socket, FIONBIO, &nonBlocking) == 0;
}

} // namespace

TSmtpSocket::TSmtpSocket()
{
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

TSmtpSocket::~TSmtpSocket()
{
    if (socket_ != INVALID_SOCKET)
        closesocket(socket_);
    if (started_)
        WSACleanup();
}

AnsiString TSmtpSocket::Connect(const AnsiString& host, uint16_t port)
{
    if (!started_)
        return "No connection to server";
    in_addr address{};
    if (!ResolveIpv4(host, address))
        return "Server not found (" + SysErrorMessageA(static_cast<uint32_t>(WSAGetLastError())) + ")";
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ == INVALID_SOCKET)
        return "No connection to server";
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr = address;
    const int timeout = kTimeoutMs;
    const bool connected =
        SetBlocking(socket_, false) &&
        (connect(socket_, reinterpret_cast<const sockaddr*>(&target), sizeof(target)) == 0 ||
         WSAGetLastError() == WSAEWOULDBLOCK) &&
        WaitWritable(socket_) && SetBlocking(socket_, true) &&
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout)) == 0 &&
        setsockopt(socket_, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout)) == 0;
    return connected ? AnsiString() : AnsiString("No connection to server");
}

bool TSmtpSocket::Send(std::string_view data)
{
    while (!data.empty()) {
        const int sent = send(socket_, data.data(), static_cast<int>(std::min<size_t>(data.size(), 1 << 20)), 0);
        if (sent <= 0)
            return false;
        data.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

bool TSmtpSocket::Receive(std::string& into)
{
    char block[kReceiveBlock];
    const int received = recv(socket_, block, sizeof(block), 0);
    if (received <= 0)
        return false;
    into.append(block, static_cast<size_t>(received));
    return true;
}
