#pragma once
// An IPv4 address of a host text: the dotted form, else the first address the system's host
// look-up gives. WinSock must be started.
#include <winsock2.h>

#include "text/ZelTypes.h"

bool ResolveIpv4(const AnsiString& host, in_addr& address);
