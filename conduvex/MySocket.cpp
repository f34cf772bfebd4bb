#include "MySocket.h"

#include "ConduvexError.h"
#include "Ipv4Address.h"
#include "PacketException.h"

namespace {

// Not 65535: the buffers were always asked for this size.
constexpr int kSocketBufferSize = 65565;
constexpr UINT kArrivalMessage = WM_APP + 1;

} // namespace

TMySocket::TMySocket() = default;

TMySocket::~TMySocket()
{
    TearDown();
}

void TMySocket::SetSocketType(TMySocketType type)
{
    if (type != TMySocketType::stUDP && type != TMySocketType::stTCP)
        throw EConduvexError("Unknown socket type.");
    socketType_ = type;
}

void TMySocket::CreateSocket()
{
    if (IsOpen())
        return;
    const bool datagram = socketType_ == TMySocketType::stUDP;
    socket_.Reset(socket(AF_INET, datagram ? SOCK_DGRAM : SOCK_STREAM,
                         datagram ? IPPROTO_UDP : IPPROTO_TCP));
    if (!socket_) {
        RaiseSocketError(0);
        return;
    }
    u_long nonBlocking = 1;
    if (ioctlsocket(socket_.Get(), FIONBIO, &nonBlocking) != 0) {
        const int error = WSAGetLastError();
        TearDown();
        RaiseSocketError(error);
        return;
    }
    SetOptions();
    StartThreads();
}

void TMySocket::SetOptions()
{
    const BOOL broadcast = broadCastAccept_ ? TRUE : FALSE;
    setsockopt(socket_.Get(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&broadcast),
               sizeof broadcast);
    const int size = kSocketBufferSize;
    setsockopt(socket_.Get(), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size),
               sizeof size);
    setsockopt(socket_.Get(), SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&size),
               sizeof size);
}

void TMySocket::StartThreads()
{
    try {
        if (onRead_)
            arrivalWindow_ = std::make_unique<TMessageWindow>(
                [this](UINT message, WPARAM, LPARAM) {
                    if (message == kArrivalMessage)
                        AnnounceArrival();
                });
        if (receiveThread_)
            receiver_ = std::make_unique<TMyReceiver>(this);
        if (sendThread_)
            sender_ = std::make_unique<TMySender>(this);
    } catch (...) {
        TearDown();
        throw;
    }
}

void TMySocket::Bind()
{
    CreateSocket();
    if (!IsOpen())
        return;
    const sockaddr_in address = SocketAddress(DottedHostAddress(localAddress_), localPort_);
    if (bind(socket_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        bound_ = true;
}

void TMySocket::Connect(bool bindFirst)
{
    CreateSocket();
    if (!IsOpen())
        return;
    if (bindFirst && !bound_)
        Bind();
    const sockaddr_in address = SocketAddress(DottedHostAddress(host_), port_);
    if (connect(socket_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = WSAGetLastError();
        TearDown();
        RaiseSocketError(error);
        return;
    }
    connected_ = true;
    Announce(onConnectSocket_);
}

void TMySocket::Close()
{
    if (!IsOpen())
        return;
    TearDown();
    Announce(onCloseSocket_);
}

void TMySocket::TearDown()
{
    // The threads use the socket until they stop, so they stop first.
    sender_.reset();
    receiver_.reset();
    socket_.Reset();
    connected_ = false;
    bound_ = false;
    arrivalWindow_.reset();
    arrivalPending_ = false;
    sendQueue_.Clear();
}

void TMySocket::SendData(const std::string& bytes)
{
    if (sender_) {
        sendQueue_.PushData(bytes);
        return;
    }
    if (send(socket_.Get(), bytes.data(), static_cast<int>(bytes.size()), 0) == SOCKET_ERROR)
        RaiseSocketError(0);
}

uint16_t TMySocket::GetLocalPort() const
{
    if (!IsOpen())
        return 0;
    sockaddr_in address{};
    int length = sizeof address;
    if (getsockname(socket_.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

void TMySocket::PacketArrived()
{
    // One message at a time: the announcement stands for everything queued before it.
    if (arrivalWindow_ && !arrivalPending_.exchange(true))
        PostMessageA(arrivalWindow_->Handle(), kArrivalMessage, 0, 0);
}

void TMySocket::AnnounceArrival()
{
    arrivalPending_ = false;
    Announce(onRead_);
}

void TMySocket::RaiseSocketError(int code)
{
    if (raisingSocketErrors_)
        throw TPacketException(ResolveSocketError(code));
}

void TMySocket::Announce(const TNotify& handler)
{
    if (handler)
        handler();
}
