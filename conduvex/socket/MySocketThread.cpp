#include "socket/MySocketThread.h"

#include "ConduvexError.h"
#include "socket/Ipv4Address.h"
#include "socket/MySocket.h"

#include <vector>

namespace {

constexpr DWORD kIdleStepMs = 3;
constexpr int kLargestDatagram = 65535;

TMySocket& Required(TMySocket* socket, const char* message)
{
    if (!socket)
        throw EConduvexError(message);
    return *socket;
}

} // namespace

TMyReceiver::TMyReceiver(TMySocket* socket)
    : socket_(Required(socket, "TMyReceiver: construktor nemuze vytvorit objekt")),
      handle_(socket_.socket_.Get()),
      queue_(socket_.receiveQueue_),
      thread_([this](const std::atomic<bool>& stop) { Run(stop); })
{
}

void TMyReceiver::Run(const std::atomic<bool>& stopRequested)
{
    std::vector<char> buffer(kLargestDatagram);
    while (!stopRequested) {
        sockaddr_in from{};
        int fromLength = sizeof from;
        const int received = recvfrom(handle_, buffer.data(), kLargestDatagram, 0,
                                      reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (received > 0) {
            queue_.Push(TMyPacket{std::string(buffer.data(), static_cast<size_t>(received)),
                                  DottedText(from.sin_addr), ntohs(from.sin_port)});
            socket_.PacketArrived();
        } else if (!stopRequested) {
            Sleep(kIdleStepMs);
        }
    }
}

TMySender::TMySender(TMySocket* socket)
    : handle_(Required(socket, "TMySender: construktor nemuze vytvorit objekt").socket_.Get()),
      queue_(socket->sendQueue_),
      thread_([this](const std::atomic<bool>& stop) { Run(stop); })
{
}

void TMySender::Run(const std::atomic<bool>& stopRequested)
{
    while (!stopRequested) {
        TMyPacket packet;
        if (queue_.Pop(packet))
            send(handle_, packet.data.data(), static_cast<int>(packet.data.size()), 0);
        if (!stopRequested)
            Sleep(kIdleStepMs);
    }
}
