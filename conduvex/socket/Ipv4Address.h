#pragma once
// IPv4 host texts and addresses as the socket providers read and print them.
#include <winsock2.h>

#include <cstdint>
#include <string>

// Dotted text only, never a name look-up: an empty text is 0.0.0.0 and a text that is
// not dotted becomes 255.255.255.255, the conversion's failure value.
in_addr DottedHostAddress(const std::string& host);
// Dotted text, or else a name looked up by the sockets layer; 255.255.255.255 when the
// look-up finds nothing.
in_addr ResolvedHostAddress(const std::string& host);
// The four decimal bytes joined by dots.
std::string DottedText(in_addr address);
sockaddr_in SocketAddress(in_addr address, uint16_t port);
// The local port a socket is bound to; 0 when it is not bound or the query fails.
uint16_t BoundPort(SOCKET socket);
