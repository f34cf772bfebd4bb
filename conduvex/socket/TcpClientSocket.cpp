#include "socket/TcpClientSocket.h"

#include "socket/Ipv4Address.h"
#include "socket/PacketException.h"
#include "Ticks.h"

#include <algorithm>
#include <chrono>

namespace {

// Each connect gets its own message number, so a notification still queued for an
// earlier socket (whose handle value may have been reused) is never taken for the new one.
constexpr UINT kFirstSocketMessage = WM_APP + 0x100;
constexpr uint32_t kSocketMessageCount = 0x100;
constexpr int kSendChunk = 64 * 1024;
constexpr int kReceiveChunk = 64 * 1024;
constexpr long kSocketEvents = FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE;
// Arrivals are taken from the socket as they come, up to this much unread: the sockets
// layer reports a peer's close only once everything it sent has been taken.
constexpr uint32_t kReadAheadLimit = 1024 * 1024;
// How long a closing link goes on sending what is still queued to a peer that reads.
constexpr uint32_t kCloseFlushMs = 2000;

// Waits until the socket can take more output, at most the given time.
bool WaitWritable(SOCKET socket, uint32_t ms)
{
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(socket, &writable);
    timeval wait{static_cast<long>(ms / 1000), static_cast<long>(ms % 1000) * 1000};
    return select(0, nullptr, &writable, nullptr, &wait) == 1;
}

} // namespace

TTcpClientSocket::TTcpClientSocket(TTcpSocketListener& listener)
    : listener_(listener), session_(MAKEWORD(1, 1))
{
}

TTcpClientSocket::~TTcpClientSocket()
{
    TLockGuard guard(lock_);
    CloseLocked();
}

std::string TTcpClientSocket::Host()
{
    TLockGuard guard(lock_);
    return host_;
}

void TTcpClientSocket::SetHost(const std::string& host)
{
    TLockGuard guard(lock_);
    host_ = host;
}

uint16_t TTcpClientSocket::Port()
{
    TLockGuard guard(lock_);
    return port_;
}

void TTcpClientSocket::SetPort(uint16_t port)
{
    TLockGuard guard(lock_);
    port_ = port;
}

bool TTcpClientSocket::Connected()
{
    TLockGuard guard(lock_);
    return state_ == TState::Connected;
}

void TTcpClientSocket::EnsureWindowOfCallingThread()
{
    if (window_ && window_->OwnedByCallingThread())
        return;
    window_ = std::make_unique<TMessageWindow>(
        [this](UINT message, WPARAM wParam, LPARAM lParam) { HandleMessage(message, wParam, lParam); },
        [this](std::exception_ptr fault) { HandlingFailed(fault); });
}

void TTcpClientSocket::StartConnect()
{
    int error;
    {
        TLockGuard guard(lock_);
        error = BeginConnectLocked();
    }
    if (error != 0)
        listener_.SocketConnectFailed(error);
}

int TTcpClientSocket::BeginConnectLocked()
{
    CloseLocked();
    EnsureWindowOfCallingThread();
    message_ = kFirstSocketMessage + (++generation_ % kSocketMessageCount);
    socket_.Reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!socket_)
        throw TPacketException(WSAGetLastError());
    // Also makes the socket non-blocking.
    if (WSAAsyncSelect(socket_.Get(), window_->Handle(), message_, kSocketEvents) != 0) {
        const int error = WSAGetLastError();
        CloseLocked();
        throw TPacketException(error);
    }
    const sockaddr_in address = SocketAddress(ResolvedHostAddress(host_), port_);
    state_ = TState::Connecting;
    if (connect(socket_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
        WSAGetLastError() == WSAEWOULDBLOCK)
        return 0;
    const int error = WSAGetLastError();
    CloseLocked();
    return error;
}

void TTcpClientSocket::Close()
{
    FlushBeforeClose();
    if (DrainAndClose())
        listener_.SocketDisconnected();
}

void TTcpClientSocket::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    {
        TLockGuard guard(lock_);
        if (message != message_ || !socket_ || static_cast<SOCKET>(wParam) != socket_.Get())
            return;
    }
    switch (WSAGETSELECTEVENT(lParam)) {
    case FD_CONNECT:
        ConnectCompleted(WSAGETSELECTERROR(lParam));
        break;
    case FD_READ:
        DataArrived();
        break;
    case FD_WRITE:
        WriteReady();
        break;
    case FD_CLOSE:
        PeerClosed();
        break;
    default:
        break;
    }
}

// What the socket is in after a failed handling is unknown: it is dropped.
void TTcpClientSocket::HandlingFailed(std::exception_ptr fault)
{
    TState state;
    {
        TLockGuard guard(lock_);
        state = state_;
        CloseLocked();
    }
    if (state == TState::Connected)
        listener_.SocketFailed(fault);
    else if (state == TState::Connecting)
        listener_.SocketConnectFailed(WSAECONNABORTED);
}

void TTcpClientSocket::ConnectCompleted(int error)
{
    {
        TLockGuard guard(lock_);
        if (state_ != TState::Connecting)
            return;
        if (error == 0)
            state_ = TState::Connected;
        else
            CloseLocked();
    }
    if (error == 0)
        listener_.SocketConnected();
    else
        listener_.SocketConnectFailed(error);
}

void TTcpClientSocket::DataArrived()
{
    {
        TLockGuard guard(lock_);
        if (state_ != TState::Connected)
            return;
        if (!receive_) {
            const uint32_t room = kReadAheadLimit - std::min<uint32_t>(kReadAheadLimit, received_.size());
            ReceiveLocked(std::min(WaitingInSocketLocked(), room), received_);
        }
    }
    listener_.SocketDataArrived();
}

void TTcpClientSocket::PeerClosed()
{
    if (DrainAndClose())
        listener_.SocketDisconnected();
    else
        listener_.SocketConnectFailed(WSAECONNREFUSED);
}

bool TTcpClientSocket::DrainAndClose()
{
    TLockGuard guard(lock_);
    const bool wasConnected = state_ == TState::Connected;
    DrainInputLocked();
    CloseLocked();
    return wasConnected;
}

void TTcpClientSocket::FlushBeforeClose()
{
    TLockGuard guard(lock_);
    const TTickDeadline deadline(GetTickCount(), kCloseFlushMs);
    while (state_ == TState::Connected && unsentOffset_ < unsent_.size()) {
        const uint32_t remaining = deadline.Remaining(GetTickCount());
        if (remaining == 0 || !WaitWritable(socket_.Get(), remaining) || FlushUnsentLocked() != 0)
            return;
    }
}

void TTcpClientSocket::WriteReady()
{
    TLockGuard guard(lock_);
    if (state_ == TState::Connected && FlushUnsentLocked() != 0) {
        // The connection is broken; its close notification follows.
        unsent_.clear();
        unsentOffset_ = 0;
    }
}

void TTcpClientSocket::Send(const std::string& bytes)
{
    TLockGuard guard(lock_);
    if (state_ != TState::Connected)
        throw EConduvexError(std::string(ResultCodeText(kErrNotOpened)), kErrNotOpened);
    unsent_ += bytes;
    const int error = FlushUnsentLocked();
    if (error != 0) {
        unsent_.clear();
        unsentOffset_ = 0;
        throw TPacketException(error);
    }
}

size_t TTcpClientSocket::UnsentLength()
{
    TLockGuard guard(lock_);
    return unsent_.size() - unsentOffset_;
}

int TTcpClientSocket::FlushUnsentLocked()
{
    while (unsentOffset_ < unsent_.size()) {
        const int chunk =
            static_cast<int>(std::min<size_t>(unsent_.size() - unsentOffset_, kSendChunk));
        const int sent = send(socket_.Get(), unsent_.data() + unsentOffset_, chunk, 0);
        if (sent == SOCKET_ERROR) {
            const int error = WSAGetLastError();
            if (error == WSAEWOULDBLOCK)
                break; // The rest goes when the socket reports it can take more.
            return error;
        }
        unsentOffset_ += static_cast<size_t>(sent);
    }
    // Keep the copying of the queue's tail rare while a large write drains.
    if (unsentOffset_ == unsent_.size() || unsentOffset_ > unsent_.size() / 2) {
        unsent_.erase(0, unsentOffset_);
        unsentOffset_ = 0;
    }
    return 0;
}

uint32_t TTcpClientSocket::ReceiveLength()
{
    TLockGuard guard(lock_);
    return static_cast<uint32_t>(received_.size()) + (receive_ ? 0 : WaitingInSocketLocked());
}

std::string TTcpClientSocket::ReceiveAll()
{
    TLockGuard guard(lock_);
    std::string bytes = std::move(received_);
    received_.clear();
    if (!receive_ && state_ == TState::Connected)
        ReceiveWaitingLocked(bytes);
    return bytes;
}

std::string TTcpClientSocket::ReceiveTakenOrWaiting()
{
    TLockGuard guard(lock_);
    std::string bytes = std::move(received_);
    received_.clear();
    if (bytes.empty() && !receive_)
        ReceiveLocked(WaitingInSocketLocked(), bytes);
    return bytes;
}

bool TTcpClientSocket::StartReceiveLocked()
{
    if (!receiveEvent_)
        receiveEvent_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!receiveEvent_)
        return false;
    receive_ = std::make_unique<TOverlappedReceive>(socket_.Get(), receiveEvent_.Get(), kReceiveChunk);
    receiveThread_ = GetCurrentThreadId();
    return true;
}

bool TTcpClientSocket::ArmReceive()
{
    TOverlappedReceive* receive;
    {
        TLockGuard guard(lock_);
        if (state_ != TState::Connected || receive_ || !StartReceiveLocked())
            return false;
        if (receive_->Running())
            return true;
        receive = receive_.get();
    }
    // Old bytes, or the peer's close: the exchange's own look deals with them.
    EndReceive(receive->Wait(0));
    return false;
}

void TTcpClientSocket::DisarmReceive() noexcept
{
    TOverlappedReceive* receive;
    {
        TLockGuard guard(lock_);
        if (!receive_ || receiveThread_ != GetCurrentThreadId())
            return;
        receive = receive_.get();
    }
    try {
        EndReceive(receive->Wait(0));
    } catch (...) {
        // Only the bytes that met the cancellation can be lost, and only for want of memory.
    }
}

void TTcpClientSocket::EndReceive(TOverlappedReceive::TOutcome outcome)
{
    std::unique_ptr<TOverlappedReceive> receive;
    {
        TLockGuard guard(lock_);
        receive = std::move(receive_);
    }
    if (outcome == TOverlappedReceive::TOutcome::Bytes)
        KeepReceived(receive->Bytes());
}

bool TTcpClientSocket::WaitForInput(uint32_t maxMs)
{
    TOverlappedReceive* receive;
    {
        TLockGuard guard(lock_);
        if (!received_.empty())
            return true;
        if (state_ != TState::Connected)
            return false;
        if (receive_ && receiveThread_ != GetCurrentThreadId())
            return false;
        if (!receive_ && !StartReceiveLocked())
            return false;
        receive = receive_.get();
    }
    // The tick counter moves in steps too coarse for the rest of a short wait.
    const auto start = std::chrono::steady_clock::now();
    const TOverlappedReceive::TOutcome outcome = receive->Wait(maxMs);
    EndReceive(outcome);
    if (outcome == TOverlappedReceive::TOutcome::Ended) {
        // The peer closed (or the connection broke): nothing more can come.
        const auto rest = std::chrono::ceil<std::chrono::milliseconds>(
            std::chrono::milliseconds(maxMs) - (std::chrono::steady_clock::now() - start));
        if (rest.count() > 0)
            Sleep(static_cast<DWORD>(rest.count()));
    }
    return true;
}

void TTcpClientSocket::KeepReceived(const std::string& bytes)
{
    bool ownThread;
    {
        TLockGuard guard(lock_);
        // Kept even when the socket was closed meanwhile: closing keeps what had arrived.
        received_ += bytes;
        ownThread = window_ && window_->OwnedByCallingThread();
        if (!ownThread && window_ && socket_)
            PostMessageA(window_->Handle(), message_, static_cast<WPARAM>(socket_.Get()),
                         WSAMAKESELECTREPLY(FD_READ, 0));
    }
    if (ownThread)
        listener_.SocketDataArrived();
}

uint16_t TTcpClientSocket::LocalPort()
{
    TLockGuard guard(lock_);
    return state_ == TState::Connected ? BoundPort(socket_.Get()) : 0;
}

void TTcpClientSocket::CloseLocked()
{
    socket_.Reset();
    state_ = TState::Closed;
    unsent_.clear();
    unsentOffset_ = 0;
}

void TTcpClientSocket::DrainInputLocked()
{
    if (state_ == TState::Connected)
        ReceiveLocked(WaitingInSocketLocked(), received_);
}

uint32_t TTcpClientSocket::WaitingInSocketLocked()
{
    u_long waiting = 0;
    if (state_ != TState::Connected || ioctlsocket(socket_.Get(), FIONREAD, &waiting) != 0)
        return 0;
    return static_cast<uint32_t>(waiting);
}

void TTcpClientSocket::ReceiveWaitingLocked(std::string& into)
{
    // Asking the socket how much waits costs as much as a receive: receive straight away.
    for (;;) {
        const size_t start = into.size();
        into.resize(start + kReceiveChunk);
        const int n = recv(socket_.Get(), into.data() + start, kReceiveChunk, 0);
        into.resize(start + (n > 0 ? static_cast<size_t>(n) : 0));
        if (n < kReceiveChunk)
            return;
    }
}

void TTcpClientSocket::ReceiveLocked(uint32_t count, std::string& into)
{
    const size_t start = into.size();
    into.resize(start + count);
    size_t got = 0;
    while (got < count) {
        const int n = recv(socket_.Get(), into.data() + start + got, static_cast<int>(count - got), 0);
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    into.resize(start + got);
}
