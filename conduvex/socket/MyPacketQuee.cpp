#include "socket/MyPacketQuee.h"

int TMyPacketQuee::Push(const TMyPacket& packet)
{
    TLockGuard guard(lock_);
    items_.push_back(packet);
    totalBytes_ += static_cast<uint32_t>(packet.data.size());
    return static_cast<int>(items_.size());
}

int TMyPacketQuee::PushData(const std::string& bytes)
{
    return Push(TMyPacket{bytes, {}, 0});
}

bool TMyPacketQuee::Pop(TMyPacket& packet)
{
    TLockGuard guard(lock_);
    if (items_.empty())
        return false;
    packet = std::move(items_.front());
    items_.pop_front();
    totalBytes_ -= static_cast<uint32_t>(packet.data.size());
    return true;
}

uint32_t TMyPacketQuee::TotalBytes()
{
    TLockGuard guard(lock_);
    return totalBytes_;
}

std::string TMyPacketQuee::PopAllData()
{
    TLockGuard guard(lock_);
    std::string bytes;
    bytes.reserve(totalBytes_);
    for (const TMyPacket& packet : items_)
        bytes += packet.data;
    items_.clear();
    totalBytes_ = 0;
    return bytes;
}

void TMyPacketQuee::Clear()
{
    TLockGuard guard(lock_);
    items_.clear();
    totalBytes_ = 0;
}
