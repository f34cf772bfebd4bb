#include "socket/Ipv4Address.h"

#include <cstring>

in_addr DottedHostAddress(const std::string& host)
{
    in_addr address{};
    // The conversion does not read an empty text as "any address"; the providers do.
    address.s_addr = host.empty() ? htonl(INADDR_ANY) : inet_addr(host.c_str());
    return address;
}

in_addr ResolvedHostAddress(const std::string& host)
{
    in_addr address = DottedHostAddress(host);
    if (address.s_addr != INADDR_NONE || host == "255.255.255.255")
        return address;
    const hostent* entry = gethostbyname(host.c_str());
    if (entry && entry->h_addrtype == AF_INET && entry->h_addr_list && entry->h_addr_list[0])
        std::memcpy(&address, entry->h_addr_list[0], sizeof address);
    return address;
}

std::string DottedText(in_addr address)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&address.s_addr);
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
           std::to_string(bytes[2]) + "." + std::to_string(bytes[3]);
}

sockaddr_in SocketAddress(in_addr address, uint16_t port)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr = address;
    result.sin_port = htons(port);
    return result;
}

uint16_t BoundPort(SOCKET socket)
{
    sockaddr_in address{};
    int length = sizeof address;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}
