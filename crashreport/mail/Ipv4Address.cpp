#include "mail/Ipv4Address.h"

#include <cstring>

bool ResolveIpv4(const AnsiString& host, in_addr& address)
{
    address.s_addr = inet_addr(host.c_str());
    if (address.s_addr != INADDR_NONE)
        return true;
    const hostent* found = gethostbyname(host.c_str());
    if (!found || found->h_addrtype != AF_INET || !found->h_addr_list[0])
        return false;
    std::memcpy(&address, found->h_addr_list[0], sizeof(address));
    return true;
}
