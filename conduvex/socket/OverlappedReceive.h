#pragma once
// One overlapped receive on a socket, waited for on an event: the sockets layer hands an
// arrival straight to the waiting thread, without a readiness poll and a second call to
// take the bytes. Started by the constructor; finished, one way or another, before the
// object is gone, so the system never writes into a buffer that no longer exists.
// The thread that makes the object must be the one that waits and destroys it: a receive
// is cancelled through the thread that started it.
#include <winsock2.h>

#include <cstdint>
#include <memory>
#include <string>

class TOverlappedReceive {
public:
    enum class TOutcome {
        Bytes,    // bytes arrived: Bytes() gives them
        Ended,    // the peer closed the connection, or the receive failed
        TimedOut, // nothing arrived in time
    };

    // `event` is a manual-reset event the receive signals; capacity is the most bytes taken.
    TOverlappedReceive(SOCKET socket, HANDLE event, size_t capacity);
    // Cancels a receive still running and waits for its end.
    ~TOverlappedReceive();
    TOverlappedReceive(const TOverlappedReceive&) = delete;
    TOverlappedReceive& operator=(const TOverlappedReceive&) = delete;

    // Waits up to maxMs. A receive still running then is cancelled; bytes that came with
    // the cancellation still count as arrived.
    TOutcome Wait(uint32_t maxMs);
    std::string Bytes() const { return std::string(area_.get(), received_); }
    // Still running: the receive neither completed at once nor was waited for to its end.
    bool Running() const { return running_; }

private:
    // Takes the finished receive's result, waiting for it when asked to.
    TOutcome Collect(bool wait);

    SOCKET socket_;
    WSAOVERLAPPED overlapped_{};
    std::unique_ptr<char[]> area_;
    DWORD received_ = 0;
    bool running_ = false;
    bool failedAtStart_ = false;
};
