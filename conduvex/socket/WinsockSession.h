#pragma once
// One counted start of the sockets layer, ended when the owner goes. Every socket owner
// holds its own, so no owner's end can pull the layer from under another one's socket.
#include <winsock2.h>

class TWinsockSession {
public:
    // Throws TPacketException with the start-up's error code when the layer cannot start.
    explicit TWinsockSession(WORD version = MAKEWORD(2, 2));
    ~TWinsockSession();
    TWinsockSession(const TWinsockSession&) = delete;
    TWinsockSession& operator=(const TWinsockSession&) = delete;
};
