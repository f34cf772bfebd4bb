#pragma once
// The proxy the user's browser settings name for an address, else the one automatic detection
// (DHCP and DNS, or the settings' configuration script) finds.
#include <windows.h>
#include <winhttp.h>

#include <optional>
#include <string>

struct THttpProxyList {
    std::wstring list;   // "host:port" entries separated by ";"
    std::wstring bypass; // empty: none
};

// None when the address is reached directly or nothing is found.
std::optional<THttpProxyList> FindSystemProxy(HINTERNET session, const std::wstring& url);
