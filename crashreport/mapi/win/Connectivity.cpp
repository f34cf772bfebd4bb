#include "mapi/win/Connectivity.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <mutex>

#include "mapi/IcmpEcho.h"
#include "plugins/win/BoundLibrary.h"

namespace {

constexpr DWORD kReplyWaitMs = 1000;
constexpr int kTimeToLive = 30;
// The option's number in WinSock 2, and in WinSock 1 for stacks that refuse it.
constexpr int kTimeToLiveOption = 7;
constexpr int kOldTimeToLiveOption = 4;

std::atomic<bool> skipTest{true};
std::atomic<uint16_t> echoSequence{0};
std::mutex hostLock;
std::string pingedHost = "www.example.com";

class TWinSock {
public:
    TWinSock() { started_ = WSAStartup(MAKEWORD(2, 1), &data_) == 0; }
    ~TWinSock()
    {
        if (started_)
            WSACleanup();
    }
    TWinSock(const TWinSock&) = delete;
    TWinSock& operator=(const TWinSock&) = delete;
    bool Started() const { return started_; }

private:
    WSADATA data_{};
    bool started_ = false;
};

class TSocket {
public:
    explicit TSocket(SOCKET socket) : socket_(socket) {}
    ~TSocket()
    {
        if (socket_ != INVALID_SOCKET)
            closesocket(socket_);
    }
    TSocket(const TSocket&) = delete;
    TSocket& operator=(const TSocket&) = delete;
    SOCKET Get() const { return socket_; }

private:
    SOCKET socket_;
};

bool ResolveIPv4(const std::string& host, in_addr& address)
{
    // The resolver takes an empty name for the own machine.
    if (host.empty())
        return false;
    if (inet_pton(AF_INET, host.c_str(), &address) == 1)
        return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

std::string PingedHost()
{
    const std::lock_guard<std::mutex> lock(hostLock);
    return pingedHost;
}

bool AttemptDialUp()
{
    using TAttemptConnect = DWORD(WINAPI*)(DWORD);
    const TBoundLibrary wininet(L"wininet.dll");
    const auto attempt = wininet.Bind<TAttemptConnect>("InternetAttemptConnect");
    return attempt && attempt(0) == ERROR_SUCCESS;
}

} // namespace

bool PingHost(const std::string& host)
{
    const TWinSock winsock;
    if (!winsock.Started())
        return false;
    const TSocket icmp(socket(AF_INET, SOCK_RAW, IPPROTO_ICMP));
    if (icmp.Get() == INVALID_SOCKET)
        return false;
    const int ttl = kTimeToLive;
    if (setsockopt(icmp.Get(), IPPROTO_IP, kTimeToLiveOption, reinterpret_cast<const char*>(&ttl), sizeof(ttl)) != 0 &&
        setsockopt(icmp.Get(), IPPROTO_IP, kOldTimeToLiveOption, reinterpret_cast<const char*>(&ttl), sizeof(ttl)) != 0)
        return false;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    if (!ResolveIPv4(host, target.sin_addr))
        return false;
    const uint16_t identifier = static_cast<uint16_t>(GetCurrentProcessId());
    const uint16_t sequence = static_cast<uint16_t>(echoSequence.fetch_add(1) + 1);
    const auto request = EchoRequest(identifier, sequence);
    if (sendto(icmp.Get(), reinterpret_cast<const char*>(request.data()), static_cast<int>(request.size()), 0,
               reinterpret_cast<const sockaddr*>(&target), sizeof(target)) == SOCKET_ERROR)
        return false;
    for (;;) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(icmp.Get(), &readable);
        timeval wait{static_cast<long>(kReplyWaitMs / 1000), static_cast<long>(kReplyWaitMs % 1000 * 1000)};
        if (select(0, &readable, nullptr, nullptr, &wait) != 1)
            return false;
        uint8_t packet[kEchoReceiveSize];
        const int received = recv(icmp.Get(), reinterpret_cast<char*>(packet), sizeof(packet), 0);
        if (received == SOCKET_ERROR)
            return false;
        switch (ClassifyEchoAnswer(packet, static_cast<size_t>(received), identifier, sequence)) {
        case TEchoAnswer::Reply: return true;
        case TEchoAnswer::Invalid: return false;
        case TEchoAnswer::Other: break;
        }
    }
}

bool TestConnectivity(bool mayDial, const TMailClientHooks& hooks)
{
    if (skipTest)
        return true;
    const std::string host = PingedHost();
    if (PingHost(host))
        return true;
    if (!mayDial || (hooks.loaderLocked && hooks.loaderLocked()))
        return false;
    return AttemptDialUp() && PingHost(host);
}

void SetSkipConnectivityTest(bool skip) { skipTest = skip; }

void SetConnectivityHost(const std::string& host)
{
    const std::lock_guard<std::mutex> lock(hostLock);
    pingedHost = host;
}
