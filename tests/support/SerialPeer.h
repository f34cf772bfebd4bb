#pragma once
// The far end of a pty pair, opened as a plain COM port inside the test process: it writes
// and reads on request, or echoes or floods from a thread of its own.
#include "WinHandle.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>

class TSerialPeer {
public:
    // Opens the peer end and drops whatever an earlier test left in either direction, at
    // both ends of the pair.
    TSerialPeer(int peerComNumber, int linkComNumber);
    ~TSerialPeer();
    TSerialPeer(const TSerialPeer&) = delete;
    TSerialPeer& operator=(const TSerialPeer&) = delete;

    bool IsOpen() const { return port_.Valid(); }
    // Waits until the bytes are written (at most 10 s).
    bool Write(const std::string& bytes);
    // Reads until count bytes arrived or the time is up; returns what arrived.
    std::string Read(size_t count, DWORD timeoutMs);
    // Whatever arrives within the time, however much it is.
    std::string ReadFor(DWORD timeoutMs);

    // Sends every byte it receives straight back, until stopped.
    void StartEcho();
    // Sends the chunk again and again, pausing between sends, until stopped.
    void StartFlood(const std::string& chunk, DWORD pauseMs);
    void StopBackground();

private:
    // An overlapped record with its event, made once so that handle counts stay steady
    // while the peer works.
    class TOverlapped {
    public:
        TOverlapped();
        OVERLAPPED* Restart();
        OVERLAPPED* Get() { return &record_; }
        HANDLE Event() const { return event_.Get(); }

    private:
        TWinHandle event_;
        OVERLAPPED record_{};
    };

    // Waits for the write to complete, the stop event (when given) or the time limit.
    // Reads until nothing more comes.
    void Drain();
    bool WriteWith(TOverlapped& overlapped, const std::string& bytes, HANDLE stop);
    // Reads at most count bytes, waiting for the first one until the stop event, the time
    // limit, or arrival; cancels the read when nothing came.
    std::string ReadSome(TOverlapped& overlapped, size_t count, DWORD timeoutMs, HANDLE stop);
    void EchoLoop();
    void FloodLoop(std::string chunk, DWORD pauseMs);

    TWinHandle port_;
    TWinHandle stop_;
    TOverlapped foregroundRead_;
    TOverlapped foregroundWrite_;
    std::thread background_;
};

// The device's terminal settings as the host system's stty reports them for a COM port
// of the Wine prefix ("speed 19200 baud; ... cstopb ..."); empty when that is impossible.
std::string DeviceSettingsOf(int comNumber);

// Runs this thread's messages until the condition holds or the time is up.
bool PumpMessagesUntil(const auto& condition, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        if (condition())
            return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(timeoutMs - elapsed, 10), QS_ALLINPUT);
    }
}

// Keeps this thread's messages running for the whole time.
inline void PumpMessagesFor(DWORD ms)
{
    PumpMessagesUntil([] { return false; }, ms);
}
