#include "socket/MySocketThread.h"

#include "ConduvexError.h"
#include "runtime/FaultProbe.h"
#include "socket/Ipv4Address.h"
#include "socket/MySocket.h"
#include "socket/PacketException.h"

#include <vector>

namespace {

constexpr DWORD kSendSpacingMs = 3;
constexpr int kLargestDatagram = 65535;

TMySocket& Required(TMySocket* socket, const char* message)
{
    if (!socket)
        throw EConduvexError(message);
    return *socket;
}

HANDLE NewEvent(bool manualReset)
{
    const HANDLE event = CreateEventA(nullptr, manualReset, FALSE, nullptr);
    if (!event)
        throw EConduvexError("Cannot create an event of a socket thread.", kErrApi);
    return event;
}

// An event the socket sets whenever a datagram waits to be received.
HANDLE ReadReadinessEvent(SOCKET socket)
{
    TWinHandle event(NewEvent(false));
    if (WSAEventSelect(socket, event.Get(), FD_READ) != 0)
        throw TPacketException(WSAGetLastError());
    return event.Release();
}

} // namespace

TMyReceiver::TMyReceiver(TMySocket* socket)
    : socket_(Required(socket, "TMyReceiver: construktor nemuze vytvorit objekt")),
      handle_(socket_.socket_.Get()),
      queue_(socket_.receiveQueue_),
      stop_(NewEvent(true)),
      readable_(ReadReadinessEvent(handle_)),
      thread_([this](const std::atomic<bool>& stop) { Run(stop); },
              [this](std::exception_ptr fault) { socket_.ThreadFailed(fault); })
{
}

TMyReceiver::~TMyReceiver()
{
    SetEvent(stop_.Get());
    thread_.Stop();
    // The socket outlives this thread: it must not set the event once it is closed.
    WSAEventSelect(handle_, nullptr, 0);
}

void TMyReceiver::Run(const std::atomic<bool>& stopRequested)
{
    std::vector<char> buffer(kLargestDatagram);
    const HANDLE wakers[] = {stop_.Get(), readable_.Get()};
    while (!stopRequested) {
        FaultPoint("udp-receive");
        if (!ReceiveOne(buffer) &&
            WaitForMultipleObjects(2, wakers, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
            return;
    }
}

bool TMyReceiver::ReceiveOne(std::vector<char>& buffer)
{
    sockaddr_in from{};
    int fromLength = sizeof from;
    const int received = recvfrom(handle_, buffer.data(), kLargestDatagram, 0,
                                  reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (received < 0)
        return false;
    if (received > 0) {
        queue_.Push(TMyPacket{std::string(buffer.data(), static_cast<size_t>(received)),
                              DottedText(from.sin_addr), ntohs(from.sin_port)});
        socket_.PacketArrived();
    }
    return true;
}

TMySender::TMySender(TMySocket* socket)
    : socket_(Required(socket, "TMySender: construktor nemuze vytvorit objekt")),
      handle_(socket_.socket_.Get()),
      queue_(socket_.sendQueue_),
      queued_(socket_.sendQueued_.Get()),
      stop_(NewEvent(true)),
      thread_([this](const std::atomic<bool>& stop) { Run(stop); },
              [this](std::exception_ptr fault) { socket_.ThreadFailed(fault); })
{
}

TMySender::~TMySender()
{
    SetEvent(stop_.Get());
}

void TMySender::Run(const std::atomic<bool>& stopRequested)
{
    const HANDLE wakers[] = {stop_.Get(), queued_};
    while (!stopRequested) {
        if (WaitForMultipleObjects(2, wakers, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
            return;
        FaultPoint("udp-send");
        TMyPacket packet;
        while (queue_.Pop(packet)) {
            send(handle_, packet.data.data(), static_cast<int>(packet.data.size()), 0);
            // The spacing between two datagrams; ends early only to stop.
            if (WaitForSingleObject(stop_.Get(), kSendSpacingMs) != WAIT_TIMEOUT)
                return;
        }
    }
}
