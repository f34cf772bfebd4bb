#pragma once
// The mail exchanger of a recipient's domain, found by our own MX query over UDP: a random
// identifier, the answer's identifier and question checked, the lowest preference taken.
#include <cstdint>
#include <string>
#include <vector>

#include "text/ZelTypes.h"

struct TDnsServer {
    AnsiString address; // dotted IPv4
    uint16_t port = 53;
};

// The system's DNS servers: the current one first, then the list, without repeats.
std::vector<TDnsServer> SystemDnsServers();

// Two of the root servers: where the walk down to a domain's own name servers starts when no
// DNS server is known.
std::vector<TDnsServer> RootDnsServers();

// The domain after "@" (without a closing ">") and its last three labels.
AnsiString RecipientDomain(const UnicodeString& recipient);
AnsiString ShortDomain(const AnsiString& domain);

// Asks the servers, or without any the name servers found by the walk from the roots; empty
// when none gives an exchanger for the domain or its short form.
AnsiString LookupMailExchanger(const UnicodeString& recipient, const std::vector<TDnsServer>& servers,
                               const std::vector<TDnsServer>& roots = RootDnsServers());
