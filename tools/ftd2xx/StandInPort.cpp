#include "StandInPort.h"

#include <algorithm>

namespace {

constexpr uint32_t kEventRxChar = 1;
constexpr uint32_t kPurgeRx = 1;

} // namespace

TStandInPort::TStandInPort(TStandInDevice device) : device_(std::move(device))
{
    if (device_.bridgePort != 0)
        Connect();
}

TStandInPort::~TStandInPort()
{
    if (socket_ != INVALID_SOCKET) {
        shutdown(socket_, SD_BOTH);
        closesocket(socket_);
    }
    if (bridge_.joinable())
        bridge_.join();
    if (winsockStarted_)
        WSACleanup();
}

void TStandInPort::Connect()
{
    WSADATA data;
    winsockStarted_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!winsockStarted_)
        return;
    const SOCKET candidate = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (candidate == INVALID_SOCKET)
        return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(device_.bridgePort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(candidate, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        closesocket(candidate);
        return;
    }
    socket_ = candidate;
    bridge_ = std::thread([this] { BridgeLoop(); });
}

void TStandInPort::BridgeLoop()
{
    try {
        char chunk[4096];
        for (;;) {
            const int count = recv(socket_, chunk, sizeof chunk, 0);
            if (count <= 0)
                return;
            Arrived(chunk, static_cast<size_t>(count));
        }
    } catch (...) {
        // The bridge just stops; the device stays open without incoming data.
    }
}

uint32_t TStandInPort::Write(const char* bytes, uint32_t length)
{
    if (device_.bridgePort == 0) {
        Arrived(bytes, length);
        return length;
    }
    uint32_t sent = 0;
    while (sent < length) {
        const int count = send(socket_, bytes + sent, static_cast<int>(length - sent), 0);
        if (count <= 0)
            break;
        sent += static_cast<uint32_t>(count);
    }
    return sent;
}

uint32_t TStandInPort::Read(char* buffer, uint32_t length)
{
    const std::lock_guard<std::mutex> guard(lock_);
    const uint32_t count = std::min<uint32_t>(length, static_cast<uint32_t>(received_.size()));
    std::copy_n(received_.data(), count, buffer);
    received_.erase(0, count);
    return count;
}

uint32_t TStandInPort::Waiting()
{
    const std::lock_guard<std::mutex> guard(lock_);
    return static_cast<uint32_t>(received_.size());
}

void TStandInPort::Purge(uint32_t mask)
{
    const std::lock_guard<std::mutex> guard(lock_);
    if (mask & kPurgeRx)
        received_.clear();
}

void TStandInPort::SetNotification(uint32_t mask, HANDLE event)
{
    const std::lock_guard<std::mutex> guard(lock_);
    eventMask_ = mask;
    event_ = event;
}

void TStandInPort::Arrived(const char* bytes, size_t length)
{
    const std::lock_guard<std::mutex> guard(lock_);
    received_.append(bytes, length);
    if (event_ && (eventMask_ & kEventRxChar))
        SetEvent(event_);
}
