#pragma once
// Socket errors as the library reports them: the error's description, then " (#", the
// code as eight upper-case hexadecimal digits, and ")".
#include "ConduvexError.h"

#include <string>
#include <string_view>

// The description of a sockets-layer error code; "Socket error." for codes without one.
std::string_view SocketErrorDescription(int code);
// "description (#XXXXXXXX)".
std::string SocketErrorText(int code);

// The code itself; 0 stands for the calling thread's last socket error.
int ResolveSocketError(int code);

class TPacketException : public EConduvexError {
public:
    explicit TPacketException(int resolvedCode);

    int SocketError() const { return socketError_; }

private:
    int socketError_;
};
