#include "MySocketThread.h"

#include "ConduvexError.h"
#include "Ipv4Address.h"
#include "MySocket.h"

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
      type_(socket_.socketType_),
      queue_(socket_.receiveQueue_),
      thread_([this](const std::atomic<bool>& stop) { Run(stop); })
{
}

void TMyReceiver::Run(const std::atomic<bool>& stopRequested)
{
    std::vector<char> buffer(kLargestDatagram);
    while (!stopRequested) {
        int received = 0;
        sockaddr_in from{};
        if (type_ == TMySocketType::stUDP) {
            int fromLength = sizeof from;
            received = recvfrom(handle_, buffer.data(), kLargestDatagram, 0,
                                reinterpret_cast<sockaddr*>(&from), &fromLength);
        }
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
      type_(socket->socketType_),
      queue_(socket->sendQueue_),
      thread_([this](const std::atomic<bool>& stop) { Run(stop); })
{
}

void TMySender::Run(const std::atomic<bool>& stopRequested)
{
    while (!stopRequested) {
        TMyPacket packet;
        if (type_ == TMySocketType::stUDP && queue_.Pop(packet)) {
            const int length = static_cast<int>(packet.data.size());
            if (!packet.address.empty() || packet.port != 0) {
                const sockaddr_in to =
                    SocketAddress(DottedHostAddress(packet.address), packet.port);
                sendto(handle_, packet.data.data(), length, 0,
                       reinterpret_cast<const sockaddr*>(&to), sizeof to);
            } else {
                send(handle_, packet.data.data(), length, 0);
            }
        }
        if (!stopRequested)
            Sleep(kIdleStepMs);
    }
}
