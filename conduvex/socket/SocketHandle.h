#pragma once
// Owning wrapper of a socket; closes it once.
#include <winsock2.h>

#include <utility>

class TSocketHandle {
public:
    TSocketHandle() = default;
    explicit TSocketHandle(SOCKET socket) : socket_(socket) {}
    ~TSocketHandle() { Reset(); }
    TSocketHandle(TSocketHandle&& other) noexcept
        : socket_(std::exchange(other.socket_, INVALID_SOCKET))
    {
    }
    TSocketHandle& operator=(TSocketHandle&& other) noexcept
    {
        if (this != &other) {
            Reset();
            socket_ = std::exchange(other.socket_, INVALID_SOCKET);
        }
        return *this;
    }
    TSocketHandle(const TSocketHandle&) = delete;
    TSocketHandle& operator=(const TSocketHandle&) = delete;

    SOCKET Get() const { return socket_; }
    // A handle of 0 counts as none too: that is how "no socket" was always stored.
    bool Valid() const { return socket_ != INVALID_SOCKET && socket_ != 0; }
    explicit operator bool() const { return Valid(); }

    void Reset(SOCKET socket = INVALID_SOCKET)
    {
        if (Valid())
            closesocket(socket_);
        socket_ = socket;
    }

private:
    SOCKET socket_ = INVALID_SOCKET;
};
