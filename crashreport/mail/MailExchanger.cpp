#include "mail/MailExchanger.h"

#include <winsock2.h>
#include <iphlpapi.h>

#include <algorithm>
#include <optional>
#include <random>

#include "mail/Ipv4Address.h"
#include "net/DnsMessage.h"
#include "net/MailText.h"

namespace {

constexpr uint16_t kDnsPort = 53;
constexpr int kMaxReferralRounds = 10;
// a.root-servers.net and c.root-servers.net
constexpr const char* kRootServers[] = {"198.41.0.4", "192.33.4.12"};

class TUdpSocket {
public:
    TUdpSocket()
    {
        WSADATA data;
        const int started = WSAStartup(MAKEWORD(1, 1), &data);
        started_ = started == 0;
        error_ = static_cast<uint32_t>(started);
        if (started_)
            socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        if (started_ && socket_ == INVALID_SOCKET)
            error_ = static_cast<uint32_t>(WSAGetLastError());
    }
    ~TUdpSocket()
    {
        if (socket_ != INVALID_SOCKET)
            closesocket(socket_);
        if (started_)
            WSACleanup();
    }
    TUdpSocket(const TUdpSocket&) = delete;
    TUdpSocket& operator=(const TUdpSocket&) = delete;

    SOCKET Get() const { return socket_; }
    uint32_t Error() const { return error_; }

private:
    bool started_ = false;
    uint32_t error_ = 0;
    SOCKET socket_ = INVALID_SOCKET;
};

uint16_t RandomId()
{
    static std::random_device source;
    return static_cast<uint16_t>(source());
}

bool WaitReadable(SOCKET socket, int milliseconds)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval timeout{milliseconds / 1000, (milliseconds % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &timeout) == 1;
}

uint32_t WsaError() { return static_cast<uint32_t>(WSAGetLastError()); }

// One query to one server: the first answer that is ours. Answers of another identifier,
// source or question are dropped and the wait goes on until its end. Without an answer the
// error says why.
std::optional<TDnsAnswer> Query(SOCKET socket, int waitMs, const TDnsServer& server, const AnsiString& name,
                                uint16_t type, uint32_t& error)
{
    const uint16_t id = RandomId();
    const auto query = BuildDnsQuery(id, name, type);
    if (!query) {
        error = DNS_ERROR_INVALID_NAME;
        return std::nullopt;
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(server.port);
    target.sin_addr.s_addr = inet_addr(server.address.c_str());
    if (target.sin_addr.s_addr == INADDR_NONE) {
        error = WSAEDESTADDRREQ;
        return std::nullopt;
    }
    if (sendto(socket, reinterpret_cast<const char*>(query->data()), static_cast<int>(query->size()), 0,
               reinterpret_cast<const sockaddr*>(&target), sizeof(target)) != static_cast<int>(query->size())) {
        error = WsaError();
        return std::nullopt;
    }
    const DWORD deadline = GetTickCount() + static_cast<DWORD>(waitMs);
    for (;;) {
        const int left = static_cast<int>(deadline - GetTickCount());
        if (left <= 0 || !WaitReadable(socket, left)) {
            error = WSAETIMEDOUT;
            return std::nullopt;
        }
        uint8_t answer[kDnsMaxUdpMessage];
        sockaddr_in from{};
        int fromSize = sizeof(from);
        const int size = recvfrom(socket, reinterpret_cast<char*>(answer), sizeof(answer), 0,
                                  reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (size <= 0 || from.sin_addr.s_addr != target.sin_addr.s_addr || from.sin_port != target.sin_port)
            continue;
        TDnsAnswer parsed = ParseDnsAnswer({answer, static_cast<size_t>(size)}, id, name, type);
        if (parsed.valid)
            return parsed;
    }
}

// A server's answer that names no exchanger.
uint32_t NoExchangerError(const TDnsAnswer& answer)
{
    return answer.responseCode != 0 ? DNS_ERROR_RESPONSE_CODES_BASE + static_cast<uint32_t>(answer.responseCode)
                                    : static_cast<uint32_t>(DNS_INFO_NO_RECORDS);
}

// A server's answer tells more than another's silence.
TMailExchangerLookup QueryMx(SOCKET socket, int waitMs, const std::vector<TDnsServer>& servers,
                             const AnsiString& domain)
{
    uint32_t answered = 0;
    uint32_t unanswered = WSAETIMEDOUT;
    for (const TDnsServer& server : servers) {
        const std::optional<TDnsAnswer> answer = Query(socket, waitMs, server, domain, kDnsTypeMx, unanswered);
        if (!answer)
            continue;
        AnsiString exchanger = LowestPreferenceExchanger(*answer);
        if (!exchanger.empty())
            return {std::move(exchanger), 0};
        answered = NoExchangerError(*answer);
    }
    return {{}, answered != 0 ? answered : unanswered};
}

// Servers named by host are looked up once, here; those not found are left out.
std::vector<TDnsServer> ByAddress(const std::vector<TDnsServer>& servers)
{
    std::vector<TDnsServer> found;
    for (const TDnsServer& server : servers) {
        in_addr address{};
        if (ResolveIpv4(server.address, address))
            found.push_back({inet_ntoa(address), server.port});
    }
    return found;
}

std::vector<TDnsServer> ServersAt(const std::vector<uint32_t>& addresses)
{
    std::vector<TDnsServer> servers;
    for (const uint32_t address : addresses) {
        in_addr dotted{};
        dotted.s_addr = htonl(address);
        servers.push_back({inet_ntoa(dotted), kDnsPort});
    }
    return servers;
}

// How deep a name server's own address is looked up when a referral does not give it: the
// look-up may meet such a referral once more, but not without end.
constexpr int kMaxAddressLookupDepth = 2;

struct TWalk {
    std::vector<TDnsServer> servers;  // asked last
    std::optional<TDnsAnswer> answer; // their answer
};

std::vector<uint32_t> LookUpAddresses(SOCKET socket, int waitMs, const std::vector<TDnsServer>& roots,
                                      const std::vector<std::string>& hosts, int depth);

// Down from the roots: the name servers of each referral are asked again until an answer refers
// no further; those asked last serve the name. A referral's name servers are reached by the
// addresses the answer gives or, when it gives none, by addresses looked up from the roots. A
// server that answers with an error leaves the question to the next one.
TWalk WalkDown(SOCKET socket, int waitMs, const std::vector<TDnsServer>& roots, const AnsiString& name,
               uint16_t type, int depth)
{
    TWalk walk{roots, std::nullopt};
    for (int round = 0; round < kMaxReferralRounds; ++round) {
        std::optional<TDnsAnswer> answer;
        for (const TDnsServer& server : walk.servers) {
            uint32_t error = 0;
            answer = Query(socket, waitMs, server, name, type, error);
            if (answer && answer->responseCode == 0)
                break;
            answer.reset();
        }
        if (!answer)
            break;
        walk.answer = answer;
        std::vector<uint32_t> referred = ReferralAddresses(*answer);
        if (referred.empty() && depth < kMaxAddressLookupDepth)
            referred = LookUpAddresses(socket, waitMs, roots, NameServersWithoutAddress(*answer), depth + 1);
        if (referred.empty())
            break;
        walk.servers = ServersAt(referred);
    }
    return walk;
}

// The addresses of the first of the hosts that can be found.
std::vector<uint32_t> LookUpAddresses(SOCKET socket, int waitMs, const std::vector<TDnsServer>& roots,
                                      const std::vector<std::string>& hosts, int depth)
{
    for (const std::string& host : hosts) {
        const TWalk walk = WalkDown(socket, waitMs, roots, host, kDnsTypeA, depth);
        if (walk.answer && !walk.answer->hostAddresses.empty())
            return walk.answer->hostAddresses;
    }
    return {};
}

} // namespace

std::vector<TDnsServer> SystemDnsServers()
{
    std::vector<TDnsServer> servers;
    ULONG size = 0;
    if (GetNetworkParams(nullptr, &size) != ERROR_BUFFER_OVERFLOW)
        return servers;
    std::vector<uint8_t> buffer(size);
    auto* info = reinterpret_cast<FIXED_INFO*>(buffer.data());
    if (GetNetworkParams(info, &size) != ERROR_SUCCESS)
        return servers;
    auto add = [&servers](const char* address) {
        if (address && *address &&
            std::none_of(servers.begin(), servers.end(), [&](const TDnsServer& s) { return s.address == address; }))
            servers.push_back({address, kDnsPort});
    };
    if (info->CurrentDnsServer)
        add(info->CurrentDnsServer->IpAddress.String);
    for (const IP_ADDR_STRING* entry = &info->DnsServerList; entry; entry = entry->Next)
        add(entry->IpAddress.String);
    return servers;
}

AnsiString RecipientDomain(const UnicodeString& recipient)
{
    const AnsiString address = HeaderSafeLatin1(MailAddressOf(recipient));
    const size_t at = address.rfind('@');
    if (at == AnsiString::npos)
        return {};
    AnsiString domain = address.substr(at + 1);
    if (!domain.empty() && domain.back() == '>')
        domain.pop_back();
    return domain;
}

AnsiString ShortDomain(const AnsiString& domain)
{
    size_t cut = domain.size();
    for (int dots = 0; dots < 3; ++dots) {
        cut = cut == 0 ? AnsiString::npos : domain.rfind('.', cut - 1);
        if (cut == AnsiString::npos)
            return domain;
    }
    return domain.substr(cut + 1);
}

std::vector<TDnsServer> RootDnsServers()
{
    std::vector<TDnsServer> roots;
    for (const char* address : kRootServers)
        roots.push_back({address, kDnsPort});
    return roots;
}

TMailExchangerLookup FindMailExchanger(const UnicodeString& recipient, const std::vector<TDnsServer>& servers,
                                       const std::vector<TDnsServer>& roots, int answerWaitMs)
{
    const AnsiString domain = RecipientDomain(recipient);
    if (domain.empty())
        return {{}, DNS_ERROR_INVALID_NAME};
    TUdpSocket socket;
    if (socket.Get() == INVALID_SOCKET)
        return {{}, socket.Error()};
    const AnsiString shortDomain = ShortDomain(domain);
    const std::vector<TDnsServer> asked =
        servers.empty() ? WalkDown(socket.Get(), answerWaitMs, ByAddress(roots), shortDomain, kDnsTypeNs, 0).servers
                        : ByAddress(servers);
    if (asked.empty())
        return {{}, WSAHOST_NOT_FOUND};
    TMailExchangerLookup lookup = QueryMx(socket.Get(), answerWaitMs, asked, domain);
    if (lookup.exchanger.empty() && shortDomain != domain)
        lookup = QueryMx(socket.Get(), answerWaitMs, asked, shortDomain);
    return lookup;
}

AnsiString LookupMailExchanger(const UnicodeString& recipient, const std::vector<TDnsServer>& servers,
                               const std::vector<TDnsServer>& roots)
{
    return FindMailExchanger(recipient, servers, roots).exchanger;
}
