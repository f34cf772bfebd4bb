#pragma once
// A non-blocking TCP client socket whose connect, read, write and close notifications are
// window messages to a hidden window of the thread that started the connect. A read takes
// what the notifications pulled in and what the socket holds, so a reader need not wait
// for those messages; output the socket does not take at once is queued and sent when the
// socket can take more.
#include "CriticalSection.h"
#include "WinHandle.h"
#include "runtime/MessageWindow.h"
#include "socket/OverlappedReceive.h"
#include "socket/SocketHandle.h"
#include "socket/WinsockSession.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

// Reactions to the socket's notifications, called on the thread that owns the window,
// never while the socket's own lock is held.
class TTcpSocketListener {
public:
    virtual void SocketConnected() = 0;
    virtual void SocketDataArrived() = 0;
    // After a connection ended, by the peer or by Close.
    virtual void SocketDisconnected() = 0;
    virtual void SocketConnectFailed(int error) = 0;
    // The handling of a notification failed with the exception: the connection was dropped.
    virtual void SocketFailed(std::exception_ptr fault) = 0;

protected:
    ~TTcpSocketListener() = default;
};

class TTcpClientSocket {
public:
    explicit TTcpClientSocket(TTcpSocketListener& listener);
    // Closes without telling the listener.
    ~TTcpClientSocket();
    TTcpClientSocket(const TTcpClientSocket&) = delete;
    TTcpClientSocket& operator=(const TTcpClientSocket&) = delete;

    std::string Host();
    void SetHost(const std::string& host);
    uint16_t Port();
    void SetPort(uint16_t port);

    // Drops any earlier socket and starts a connect; the outcome arrives as a message to
    // the calling thread. A connect that fails at once is reported before this returns.
    void StartConnect();
    bool Connected();
    // Sends what is still queued to a peer that takes it within a bound, drains what the
    // peer sent, closes, and reports the disconnection when connected.
    void Close();

    // Throws when not connected, and with the socket error when the send fails.
    void Send(const std::string& bytes);
    size_t UnsentLength();
    // Bytes taken in from the socket (also from an ended connection) plus those it holds.
    // While a receive is ready the socket holds nothing to take: arrivals go to the receive.
    uint32_t ReceiveLength();
    std::string ReceiveAll();
    // The bytes already taken in; only when there are none, what the socket holds. Each
    // look at the socket is a call into the sockets layer, which an exchange pays for
    // after every wait that has already taken the arrival in.
    std::string ReceiveTakenOrWaiting();
    // Makes a receive ready on the calling thread for the waits of an exchange, which
    // calls it before its request; bytes it finds at once are taken in (they are old).
    // True when a receive is left waiting.
    bool ArmReceive();
    // Finishes a receive still ready for the calling thread, keeping what came with it.
    // Never throws.
    void DisarmReceive() noexcept;
    // Returns once input waits to be taken or maxMs passed; after the peer's close, once
    // maxMs passed (nothing more can come). False, at once, when not connected or when
    // another thread's receive is ready. What arrives is taken in by the wait itself and
    // announced to the listener: directly on the window's thread, through a read
    // notification to the window from any other.
    bool WaitForInput(uint32_t maxMs);
    // The local port of the connected socket, else 0.
    uint16_t LocalPort();

private:
    enum class TState { Closed, Connecting, Connected };

    void EnsureWindowOfCallingThread();
    void HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void HandlingFailed(std::exception_ptr fault);
    void ConnectCompleted(int error);
    void DataArrived();
    void PeerClosed();
    void WriteReady();
    void FlushBeforeClose();
    // Closes, keeping what already arrived; true when the socket was connected.
    bool DrainAndClose();
    // The calls below expect the lock to be held.
    // 0 while the connect runs, or the error that ended it at once.
    int BeginConnectLocked();
    void CloseLocked();
    void DrainInputLocked();
    uint32_t WaitingInSocketLocked();
    void ReceiveLocked(uint32_t count, std::string& into);
    // Starts a receive of the calling thread; false when none can be made.
    bool StartReceiveLocked();
    // Ends the calling thread's finished receive: takes in its bytes and announces them.
    void EndReceive(TOverlappedReceive::TOutcome outcome);
    // Keeps what a receive brought and announces it on the window's thread.
    void KeepReceived(const std::string& bytes);
    // Everything the socket holds.
    void ReceiveWaitingLocked(std::string& into);
    // 0, or the error of a send that failed for another reason than a full buffer.
    int FlushUnsentLocked();

    TTcpSocketListener& listener_;
    TWinsockSession session_;
    TCriticalSection lock_;
    std::string host_;
    uint16_t port_ = 0;
    TState state_ = TState::Closed;
    TSocketHandle socket_;
    UINT message_ = 0;
    uint32_t generation_ = 0;
    std::string received_;
    std::string unsent_;
    size_t unsentOffset_ = 0;
    // The receive of the thread that waits for input (or will, in an exchange): while
    // there is one, arrivals go to it and a read notification leaves the socket alone.
    // Only its own thread starts, waits for and ends it; the wait runs outside the lock.
    std::unique_ptr<TOverlappedReceive> receive_;
    DWORD receiveThread_ = 0;
    // Signalled by the receive; made on first use.
    TWinHandle receiveEvent_;
    std::unique_ptr<TMessageWindow> window_;
};
