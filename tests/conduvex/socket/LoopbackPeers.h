#pragma once
// Peers for the socket links, on 127.0.0.1 only and inside the test process: plain
// blocking Winsock sockets, a recorder of a link's announcements, and helpers that wait
// while running the test thread's messages (how the links' notifications arrive).
#include "CiEventers.h"
#include "ICommunicationInterface.h"
#include "socket/Ipv4Address.h"
#include "runtime/MessageWindow.h"
#include "socket/SocketHandle.h"
#include "WinHandle.h"
#include "socket/WinsockSession.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

constexpr char kLoopback[] = "127.0.0.1";

// Runs the calling thread's messages until the condition holds or the time is up.
inline bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 3000)
{
    const DWORD start = GetTickCount();
    for (;;) {
        ProcessPendingMessages();
        if (condition())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(1);
    }
}

inline sockaddr_in LoopbackAddress(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr(kLoopback);
    address.sin_port = htons(port);
    return address;
}

inline TSocketHandle BoundSocket(int type, int protocol, uint16_t port = 0)
{
    TSocketHandle socket(::socket(AF_INET, type, protocol));
    const sockaddr_in address = LoopbackAddress(port);
    EXPECT_EQ(0, bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address));
    return socket;
}

inline void SetReceiveTimeout(SOCKET socket, DWORD ms)
{
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
}

// A listening TCP socket on a free loopback port.
class TTcpListener {
public:
    // A receive buffer size other than 0 is set before listening, so accepted connections
    // start with it and advertise a small window.
    explicit TTcpListener(int backlog = 5, int receiveBuffer = 0)
        : socket_(BoundSocket(SOCK_STREAM, IPPROTO_TCP))
    {
        if (receiveBuffer > 0) {
            EXPECT_EQ(0, setsockopt(socket_.Get(), SOL_SOCKET, SO_RCVBUF,
                                    reinterpret_cast<const char*>(&receiveBuffer), sizeof receiveBuffer));
        }
        EXPECT_EQ(0, listen(socket_.Get(), backlog));
    }
    uint16_t Port() const { return BoundPort(socket_.Get()); }
    // The next connection, waiting at most 10 s for it (an invalid socket then); its receives
    // time out after 3 s.
    TSocketHandle Accept()
    {
        fd_set pending;
        FD_ZERO(&pending);
        FD_SET(socket_.Get(), &pending);
        timeval wait{10, 0};
        if (select(0, &pending, nullptr, nullptr, &wait) != 1)
            return TSocketHandle(INVALID_SOCKET);
        TSocketHandle peer(accept(socket_.Get(), nullptr, nullptr));
        SetReceiveTimeout(peer.Get(), 3000);
        return peer;
    }

private:
    TSocketHandle socket_;
};

// Exactly `count` bytes from a blocking socket (fewer only on close or time-out).
inline std::string ReceiveExactly(SOCKET socket, size_t count)
{
    std::string bytes(count, '\0');
    size_t got = 0;
    while (got < count) {
        const int n = recv(socket, bytes.data() + got, static_cast<int>(count - got), 0);
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

inline void SendAll(SOCKET socket, const std::string& bytes)
{
    ASSERT_EQ(static_cast<int>(bytes.size()),
              send(socket, bytes.data(), static_cast<int>(bytes.size()), 0));
}

// Records "open", "close" and "data" announcements of a link, in order.
class TLinkRecorder {
public:
    explicit TLinkRecorder(ICommunicationInterface& link) : link_(link)
    {
        link_.OpenEventer()->Add(MakeMethod<&TLinkRecorder::Opened>(this));
        link_.CloseEventer()->Add(MakeMethod<&TLinkRecorder::Closed>(this));
        link_.DataReceivedEventer()->Add(MakeMethod<&TLinkRecorder::DataReceived>(this));
    }
    ~TLinkRecorder()
    {
        link_.OpenEventer()->Remove(MakeMethod<&TLinkRecorder::Opened>(this));
        link_.CloseEventer()->Remove(MakeMethod<&TLinkRecorder::Closed>(this));
        link_.DataReceivedEventer()->Remove(MakeMethod<&TLinkRecorder::DataReceived>(this));
    }
    TLinkRecorder(const TLinkRecorder&) = delete;
    TLinkRecorder& operator=(const TLinkRecorder&) = delete;

    const std::vector<std::string>& Events() const { return events_; }
    bool Saw(const std::string& event) const
    {
        for (const std::string& seen : events_)
            if (seen == event)
                return true;
        return false;
    }
    // The thread each announcement ran on.
    const std::vector<DWORD>& Threads() const { return threads_; }
    void Clear()
    {
        events_.clear();
        threads_.clear();
    }

private:
    void Record(const char* event)
    {
        events_.push_back(event);
        threads_.push_back(GetCurrentThreadId());
    }
    void Opened(ICommunicationInterface*) { Record("open"); }
    void Closed(ICommunicationInterface*) { Record("close"); }
    void DataReceived(ICommunicationInterface*) { Record("data"); }

    ICommunicationInterface& link_;
    std::vector<std::string> events_;
    std::vector<DWORD> threads_;
};

// Bytes that show any loss, reordering or duplication: position-dependent values.
inline std::string PatternBytes(size_t count, unsigned seed = 0)
{
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251 + seed) & 0xFF);
    return bytes;
}
