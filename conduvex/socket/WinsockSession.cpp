#include "socket/WinsockSession.h"

#include "socket/PacketException.h"

TWinsockSession::TWinsockSession(WORD version)
{
    WSADATA data{};
    const int error = WSAStartup(version, &data);
    if (error != 0)
        throw TPacketException(error);
}

TWinsockSession::~TWinsockSession()
{
    WSACleanup();
}
