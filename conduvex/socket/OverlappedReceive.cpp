#include "socket/OverlappedReceive.h"

TOverlappedReceive::TOverlappedReceive(SOCKET socket, HANDLE event, size_t capacity)
    : socket_(socket), area_(std::make_unique_for_overwrite<char[]>(capacity))
{
    overlapped_.hEvent = event;
    WSABUF buffer{static_cast<u_long>(capacity), area_.get()};
    DWORD flags = 0;
    if (WSARecv(socket_, &buffer, 1, &received_, &flags, &overlapped_, nullptr) == 0) {
        // Done at once; the event was signalled all the same and the result is in hand.
        return;
    }
    if (WSAGetLastError() == WSA_IO_PENDING)
        running_ = true;
    else
        failedAtStart_ = true;
}

TOverlappedReceive::~TOverlappedReceive()
{
    if (running_) {
        CancelIo(reinterpret_cast<HANDLE>(socket_));
        Collect(true);
    }
}

TOverlappedReceive::TOutcome TOverlappedReceive::Wait(uint32_t maxMs)
{
    if (failedAtStart_)
        return TOutcome::Ended;
    if (!running_)
        return received_ > 0 ? TOutcome::Bytes : TOutcome::Ended;
    // An answer that beat the thread into its wait was completed by the system meanwhile:
    // its result is in hand without a wait.
    if (HasOverlappedIoCompleted(&overlapped_) || WaitForSingleObject(overlapped_.hEvent, maxMs) == WAIT_OBJECT_0) {
        const TOutcome outcome = Collect(false);
        if (!running_)
            return outcome;
    }
    CancelIo(reinterpret_cast<HANDLE>(socket_));
    const TOutcome outcome = Collect(true);
    // A peer's close or a failure that met the cancellation shows again on the next wait.
    return outcome == TOutcome::Bytes ? outcome : TOutcome::TimedOut;
}

TOverlappedReceive::TOutcome TOverlappedReceive::Collect(bool wait)
{
    DWORD flags = 0;
    const BOOL done = WSAGetOverlappedResult(socket_, &overlapped_, &received_, wait, &flags);
    if (!done && WSAGetLastError() == WSA_IO_INCOMPLETE)
        return TOutcome::TimedOut;
    running_ = false;
    if (!done)
        received_ = 0;
    return received_ > 0 ? TOutcome::Bytes : TOutcome::Ended;
}
