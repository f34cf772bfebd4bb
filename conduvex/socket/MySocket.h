#pragma once
// The library's own datagram socket: non-blocking, with a receiver thread that queues
// every datagram whole and a sender thread that sends queued ones, one per 3 ms; both
// sleep while there is nothing to do. Arrivals are announced on the thread that opened the
// socket, through its message loop, so the receiver never waits for a listener; a waiter
// for them (WaitForArrival) is woken at once. Socket errors raise TPacketException. A thread
// or the arrival window that fails ends the socket's service: the socket counts as closed and
// tells so through OnFailure, on that thread, instead of announcing a close.
#include "runtime/MessageWindow.h"
#include "socket/MyPacketQuee.h"
#include "socket/MySocketThread.h"
#include "socket/SocketHandle.h"
#include "socket/WinsockSession.h"
#include "WinHandle.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

class TMySocket {
public:
    using TNotify = std::function<void()>;
    using TFailure = std::function<void(std::exception_ptr fault)>;

    // Starts the sockets layer for this socket's lifetime.
    TMySocket();
    // Closes without announcing.
    ~TMySocket();
    TMySocket(const TMySocket&) = delete;
    TMySocket& operator=(const TMySocket&) = delete;

    // Read when binding and connecting.
    const std::string& Host() const { return host_; }
    void SetHost(const std::string& host) { host_ = host; }
    uint16_t Port() const { return port_; }
    void SetPort(uint16_t port) { port_ = port; }
    uint16_t LocalPort() const { return localPort_; }
    void SetLocalPort(uint16_t port) { localPort_ = port; }

    // Announcements, on the thread that opened the socket.
    void SetOnConnectSocket(TNotify handler) { onConnectSocket_ = std::move(handler); }
    void SetOnCloseSocket(TNotify handler) { onCloseSocket_ = std::move(handler); }
    // Datagrams arrived (one announcement may stand for several).
    void SetOnRead(TNotify handler) { onRead_ = std::move(handler); }
    void SetOnFailure(TFailure handler) { onFailure_ = std::move(handler); }

    bool IsOpen() const { return socket_.Valid() && !failed_; }
    // When not open: creates the socket, sets its buffers, starts both threads.
    void CreateSocket();
    // Binds to LocalPort on any local address; a failure is ignored.
    void Bind();
    // Connects to Host (dotted only; empty = 0.0.0.0) and Port. A failure closes the
    // socket again, so it never stays open unconnected.
    void Connect(bool bindFirst);
    // Stops the threads, then closes the socket; unsent datagrams are dropped. Also takes
    // away what is left after a failure, which announced the end already.
    void Close();

    // Queued for the sender thread.
    void SendData(const std::string& bytes);
    uint32_t ReceivedLength() { return receiveQueue_.TotalBytes(); }
    std::string ReadData() { return receiveQueue_.PopAllData(); }
    // Returns once a datagram arrived or maxMs passed; one that arrived since the last
    // wait counts. False, at once, when the socket is not open.
    bool WaitForArrival(uint32_t maxMs);
    // The port the open socket is bound to, 0 when closed.
    uint16_t GetLocalPort() const;

private:
    friend class TMyReceiver;
    friend class TMySender;

    // Called by the receiver after it queued a datagram.
    void PacketArrived();
    // Called by a thread, or the arrival window, that ended with the exception.
    void ThreadFailed(std::exception_ptr fault);
    void AnnounceArrival();
    void SetBufferSizes();
    void StartThreads();
    // True when a thread or the arrival window had failed.
    bool TearDown();
    static void Announce(const TNotify& handler);

    TWinsockSession session_;
    TSocketHandle socket_;
    TMyPacketQuee receiveQueue_;
    TMyPacketQuee sendQueue_;
    uint16_t localPort_ = 0;
    std::string host_;
    uint16_t port_ = 0;
    bool bound_ = false;
    TNotify onConnectSocket_;
    TNotify onCloseSocket_;
    TNotify onRead_;
    TFailure onFailure_;
    std::atomic<bool> arrivalPending_ = false;
    std::atomic<bool> failed_ = false;
    TWinHandle arrived_;
    TWinHandle sendQueued_;
    // Outlives the threads below, which post to it until they stop.
    std::unique_ptr<TMessageWindow> arrivalWindow_;
    std::unique_ptr<TMyReceiver> receiver_;
    std::unique_ptr<TMySender> sender_;
};
