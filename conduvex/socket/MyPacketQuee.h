#pragma once
// Datagrams with their peer, and the locked first-in first-out queue the socket threads
// and the link's reader and writer share.
#include "CriticalSection.h"

#include <cstdint>
#include <deque>
#include <string>

struct TMyPacket {
    std::string data;
    // Sender or target as four decimal bytes joined by dots; empty for "the connected peer".
    std::string address;
    uint16_t port = 0;
};

class TMyPacketQuee {
public:
    // Appends a copy; returns the new count.
    int Push(const TMyPacket& packet);
    // Appends a packet of those bytes for the connected peer; returns the new count.
    int PushData(const std::string& bytes);
    // Takes the oldest packet; false when the queue is empty.
    bool Pop(TMyPacket& packet);
    uint32_t TotalBytes();
    // Takes every packet; their data run together, oldest first.
    std::string PopAllData();
    void Clear();

private:
    TCriticalSection lock_;
    std::deque<TMyPacket> items_;
    uint32_t totalBytes_ = 0;
};
