#pragma once
// DNS queries for MX and NS records and the parse of their answers. An answer is taken only
// when it carries the query's identifier and question; every read is bounded by the message
// and compressed names follow a limited number of pointers.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

constexpr uint16_t kDnsTypeA = 1;
constexpr uint16_t kDnsTypeNs = 2;
constexpr uint16_t kDnsTypeMx = 15;
// What a UDP answer may hold without EDNS.
constexpr size_t kDnsMaxUdpMessage = 512;

// The query (recursion desired, one question of class IN); none for a name that is no valid
// domain name (an empty label, a label over 63 bytes, over 255 bytes in all).
std::optional<std::vector<uint8_t>> BuildDnsQuery(uint16_t id, std::string_view domain, uint16_t type);

struct TDnsRecord {
    uint16_t preference = 0; // MX only
    std::string name;        // the exchanger or name server, lower case, without the final dot
};

struct TDnsAnswer {
    bool valid = false;                  // our identifier and question
    int responseCode = 0;                // records are read only when it is 0 (no error)
    std::vector<TDnsRecord> answers;     // MX or NS records of the asked type in the answer section
    std::vector<uint32_t> hostAddresses; // A records of the answer section for the asked name
    std::vector<TDnsRecord> authorities; // NS records of the authority section (referrals)
    // A-record addresses of the additional section, by owner name.
    std::vector<std::pair<std::string, uint32_t>> addresses;
};

TDnsAnswer ParseDnsAnswer(std::span<const uint8_t> message, uint16_t id, std::string_view domain, uint16_t type);

// The addresses (from additional A records) of the name servers a referral names; empty when
// the answer is no referral: it answers the question, or none of its name servers has an address.
std::vector<uint32_t> ReferralAddresses(const TDnsAnswer& answer);

// The names of a referral's name servers whose addresses the answer does not give; empty when
// the answer is no referral or gives an address for one of them.
std::vector<std::string> NameServersWithoutAddress(const TDnsAnswer& answer);

// The exchanger of the lowest preference (the first of equals); empty when there is none.
std::string LowestPreferenceExchanger(const TDnsAnswer& answer);
