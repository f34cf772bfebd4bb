#pragma once
// The two worker threads of a TMySocket. Each polls in 3 ms steps while it has nothing to
// do and is stopped and joined when destroyed.
#include "runtime/WorkerThread.h"

#include <winsock2.h>

#include <atomic>

class TMySocket;
class TMyPacketQuee;

// Queues every datagram that arrives, whole, with its sender.
class TMyReceiver {
public:
    // Raises when given no socket.
    explicit TMyReceiver(TMySocket* socket);

private:
    void Run(const std::atomic<bool>& stopRequested);

    TMySocket& socket_;
    SOCKET handle_;
    TMyPacketQuee& queue_;
    TWorkerThread thread_;
};

// Sends the queued datagrams to the connected peer, at most one per 3 ms.
class TMySender {
public:
    // Raises when given no socket.
    explicit TMySender(TMySocket* socket);

private:
    void Run(const std::atomic<bool>& stopRequested);

    SOCKET handle_;
    TMyPacketQuee& queue_;
    TWorkerThread thread_;
};
