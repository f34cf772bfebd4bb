#pragma once
// The mail exchanger of a recipient's domain, found by our own MX query over UDP: a random
// identifier, the answer's identifier and question checked, the lowest preference taken.
#include <cstdint>
#include <string>
#include <vector>

#include "text/ZelTypes.h"

// How long each query waits for its answer.
constexpr int kDnsAnswerWaitMs = 5000;

struct TDnsServer {
    AnsiString address; // dotted IPv4 or a host name
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

struct TMailExchangerLookup {
    AnsiString exchanger; // empty: none found
    // Why none was found, by the last question asked: DNS_ERROR_RCODE_* of an answer's error,
    // DNS_INFO_NO_RECORDS for an answer without exchanger, WSAETIMEDOUT when no server
    // answered, DNS_ERROR_INVALID_NAME for a recipient without a domain, WSAHOST_NOT_FOUND when
    // no server could be found by its name; 0 when found.
    uint32_t error = 0;
};

// Asks the servers, or without any the name servers found by the walk from the roots, for an
// exchanger of the domain, then of its short form.
TMailExchangerLookup FindMailExchanger(const UnicodeString& recipient, const std::vector<TDnsServer>& servers,
                                       const std::vector<TDnsServer>& roots = RootDnsServers(),
                                       int answerWaitMs = kDnsAnswerWaitMs);

// The exchanger alone; empty when none is found.
AnsiString LookupMailExchanger(const UnicodeString& recipient, const std::vector<TDnsServer>& servers,
                               const std::vector<TDnsServer>& roots = RootDnsServers());
