#pragma once
// The two worker threads of a TMySocket. Each sleeps until it has work or is told to
// stop, and is stopped and joined when destroyed. One that fails tells the socket.
#include "runtime/WorkerThread.h"
#include "WinHandle.h"

#include <winsock2.h>

#include <atomic>
#include <vector>

class TMySocket;
class TMyPacketQuee;

// Queues every datagram that arrives, whole, with its sender. Waits on the socket's
// read readiness between arrivals.
class TMyReceiver {
public:
    // Raises when given no socket, and with the socket error when the socket cannot
    // signal its arrivals.
    explicit TMyReceiver(TMySocket* socket);
    ~TMyReceiver();
    TMyReceiver(const TMyReceiver&) = delete;
    TMyReceiver& operator=(const TMyReceiver&) = delete;

private:
    void Run(const std::atomic<bool>& stopRequested);
    // Takes one datagram; false when none was waiting.
    bool ReceiveOne(std::vector<char>& buffer);

    TMySocket& socket_;
    SOCKET handle_;
    TMyPacketQuee& queue_;
    TWinHandle stop_;
    TWinHandle readable_;
    TWorkerThread thread_;
};

// Sends the queued datagrams to the connected peer, at most one per 3 ms. Waits for the
// socket's signal of a queued datagram while there is none.
class TMySender {
public:
    // Raises when given no socket.
    explicit TMySender(TMySocket* socket);
    ~TMySender();
    TMySender(const TMySender&) = delete;
    TMySender& operator=(const TMySender&) = delete;

private:
    void Run(const std::atomic<bool>& stopRequested);

    TMySocket& socket_;
    SOCKET handle_;
    TMyPacketQuee& queue_;
    HANDLE queued_;
    TWinHandle stop_;
    TWorkerThread thread_;
};
