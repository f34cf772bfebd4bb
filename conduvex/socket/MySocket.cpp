#include "socket/MySocket.h"

#include "socket/Ipv4Address.h"
#include "socket/PacketException.h"
#include "ConduvexError.h"

namespace {

// Not 65535: the buffers were always asked for this size.
constexpr int kSocketBufferSize = 65565;
constexpr UINT kArrivalMessage = WM_APP + 1;

} // namespace

TMySocket::TMySocket()
    : arrived_(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      sendQueued_(CreateEventA(nullptr, FALSE, FALSE, nullptr))
{
    if (!arrived_ || !sendQueued_)
        throw EConduvexError("Cannot create an event of the datagram socket.", kErrApi);
}

TMySocket::~TMySocket()
{
    TearDown();
}

void TMySocket::CreateSocket()
{
    if (IsOpen())
        return;
    TearDown();
    socket_.Reset(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!socket_)
        throw TPacketException(WSAGetLastError());
    u_long nonBlocking = 1;
    if (ioctlsocket(socket_.Get(), FIONBIO, &nonBlocking) != 0) {
        const int error = WSAGetLastError();
        TearDown();
        throw TPacketException(error);
    }
    SetBufferSizes();
    StartThreads();
}

void TMySocket::SetBufferSizes()
{
    const int size = kSocketBufferSize;
    setsockopt(socket_.Get(), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size),
               sizeof size);
    setsockopt(socket_.Get(), SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&size),
               sizeof size);
}

void TMySocket::StartThreads()
{
    try {
        arrivalWindow_ = std::make_unique<TMessageWindow>(
            [this](UINT message, WPARAM, LPARAM) {
                if (message == kArrivalMessage)
                    AnnounceArrival();
            },
            [this](std::exception_ptr fault) { ThreadFailed(fault); });
        receiver_ = std::make_unique<TMyReceiver>(this);
        sender_ = std::make_unique<TMySender>(this);
    } catch (...) {
        TearDown();
        throw;
    }
}

void TMySocket::Bind()
{
    CreateSocket();
    const sockaddr_in address = SocketAddress(DottedHostAddress(""), localPort_);
    if (bind(socket_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        bound_ = true;
}

void TMySocket::Connect(bool bindFirst)
{
    CreateSocket();
    if (bindFirst && !bound_)
        Bind();
    const sockaddr_in address = SocketAddress(DottedHostAddress(host_), port_);
    if (connect(socket_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = WSAGetLastError();
        TearDown();
        throw TPacketException(error);
    }
    Announce(onConnectSocket_);
}

void TMySocket::Close()
{
    if (!socket_.Valid())
        return;
    if (!TearDown())
        Announce(onCloseSocket_);
}

bool TMySocket::TearDown()
{
    // The threads use the socket until they stop, so they stop first.
    sender_.reset();
    receiver_.reset();
    socket_.Reset();
    bound_ = false;
    arrivalWindow_.reset();
    arrivalPending_ = false;
    sendQueue_.Clear();
    return failed_.exchange(false);
}

uint16_t TMySocket::GetLocalPort() const
{
    return IsOpen() ? BoundPort(socket_.Get()) : 0;
}

void TMySocket::SendData(const std::string& bytes)
{
    sendQueue_.PushData(bytes);
    SetEvent(sendQueued_.Get());
}

bool TMySocket::WaitForArrival(uint32_t maxMs)
{
    if (!IsOpen())
        return false;
    WaitForSingleObject(arrived_.Get(), maxMs);
    return true;
}

void TMySocket::PacketArrived()
{
    if (failed_)
        return;
    SetEvent(arrived_.Get());
    // One message at a time: the announcement stands for everything queued before it.
    if (!arrivalPending_.exchange(true))
        PostMessageA(arrivalWindow_->Handle(), kArrivalMessage, 0, 0);
}

// Only the first failure counts; the threads stop when the socket is closed.
void TMySocket::ThreadFailed(std::exception_ptr fault)
{
    if (!failed_.exchange(true) && onFailure_)
        onFailure_(fault);
}

void TMySocket::AnnounceArrival()
{
    arrivalPending_ = false;
    Announce(onRead_);
}

void TMySocket::Announce(const TNotify& handler)
{
    if (handler)
        handler();
}
