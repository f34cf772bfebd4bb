#include "socket/PacketException.h"

#include <winsock2.h>

#include <array>
#include <cstdio>

namespace {

struct TSocketErrorEntry {
    int code;
    std::string_view text;
};

constexpr std::array<TSocketErrorEntry, 31> kSocketErrors{{
    {10004, "The (blocking) call was canceled through WSACancelBlockingCall."},
    {10013, "The requested address is a broadcast address, but the appropriate flag was not "
            "set."},
    {10014, "The buf argument is not totally contained in a valid part of the user address "
            "space."},
    {10022, "The socket has not been bound with bind, or an unknown flag was specified, or "
            "MSG_OOB was specified for a socket with SO_OOBINLINE enabled."},
    {10024, "No more socket descriptors are available."},
    {10035, "The socket is marked as nonblocking and the requested operation would block."},
    {10036, "A blocking Windows Sockets 1.1 call is in progress, or the service provider is "
            "still processing a callback function."},
    {10037, "A nonblocking connect call is in progress on the specified socket."},
    {10038, "The descriptor is not a socket."},
    {10040, "The socket is message oriented, and the message is larger than the maximum "
            "supported by the underlying transport."},
    {10041, "The specified protocol is the wrong type for this socket."},
    {10043, "The specified protocol is not supported."},
    {10044, "The specified socket type is not supported in this address family."},
    {10045, "MSG_OOB was specified, but the socket is not stream style such as type "
            "SOCK_STREAM, out-of-band data is not supported in the communication domain "
            "associated with this socket, or the socket is unidirectional and supports only "
            "receive operations."},
    {10047, "The specified address family is not supported."},
    {10048, "The specified address is already in use."},
    {10049, "The remote address is not a valid address (such as ADDR_ANY)."},
    {10050, "The network subsystem has failed."},
    {10051, "The network cannot be reached from this host at this time."},
    {10052, "The connection has been broken due to the remote host resetting."},
    {10053, "The virtual circuit was terminated due to a time-out or other failure. The "
            "application should close the socket as it is no longer usable."},
    {10054, "The virtual circuit was reset by the remote side executing a \"hard\" or "
            "\"abortive\" close. For UPD sockets, the remote host was unable to deliver a "
            "previously sent UDP datagram and responded with a \"Port Unreachable\" ICMP "
            "packet. The application should close the socket as it is no longer usable."},
    {10055, "No buffer space is available."},
    {10056, "The socket is already connected (connection-oriented sockets only)."},
    {10057, "The socket is not connected."},
    {10058, "The socket has been shut down; it is not possible to send on a socket after "
            "shutdown has been invoked with how set to SD_SEND or SD_BOTH."},
    {10060, "The connection has been dropped, because of a network failure or because the "
            "system on the other end went down without notice."},
    {10061, "The attempt to connect was forcefully rejected."},
    {10065, "The remote host cannot be reached from this host at this time."},
    {10093, "A successful WSAStartup must occur before using this function."},
    {0, "Socket error."},
}};

} // namespace

std::string_view SocketErrorDescription(int code)
{
    for (const TSocketErrorEntry& entry : kSocketErrors) {
        if (entry.code == code)
            return entry.text;
    }
    return kSocketErrors.back().text;
}

std::string SocketErrorText(int code)
{
    char number[16];
    std::snprintf(number, sizeof number, "%08X", static_cast<unsigned>(code));
    return std::string(SocketErrorDescription(code)) + " (#" + number + ")";
}

int ResolveSocketError(int code)
{
    return code != 0 ? code : WSAGetLastError();
}

TPacketException::TPacketException(int resolvedCode)
    : EConduvexError(SocketErrorText(resolvedCode)), socketError_(resolvedCode)
{
}
