#pragma once
// One opened stand-in device: what it receives waits in a queue, and the event given to
// FT_SetEventNotification is signalled on every arrival. Without a bridge, what is written
// comes straight back (loopback); with one, the device is a TCP client of 127.0.0.1:port
// and passes the bytes both ways.
#include "StandInConfig.h"

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

class TStandInPort {
public:
    explicit TStandInPort(TStandInDevice device);
    ~TStandInPort();
    TStandInPort(const TStandInPort&) = delete;
    TStandInPort& operator=(const TStandInPort&) = delete;

    const TStandInDevice& Device() const { return device_; }
    // False when the bridge could not connect.
    bool Usable() const { return device_.bridgePort == 0 || socket_ != INVALID_SOCKET; }

    uint32_t Write(const char* bytes, uint32_t length);
    uint32_t Read(char* buffer, uint32_t length);
    uint32_t Waiting();
    void Purge(uint32_t mask);
    void SetNotification(uint32_t mask, HANDLE event);

private:
    void Connect();
    void Arrived(const char* bytes, size_t length);
    void BridgeLoop();

    TStandInDevice device_;
    std::mutex lock_;
    std::string received_;
    uint32_t eventMask_ = 0;
    HANDLE event_ = nullptr;
    bool winsockStarted_ = false;
    SOCKET socket_ = INVALID_SOCKET;
    std::thread bridge_;
};
