#include "mail/MailExchanger.h"

#include <winsock2.h>
#include <iphlpapi.h>

#include <algorithm>
#include <random>

#include "net/DnsMessage.h"
#include "net/MailText.h"

namespace {

constexpr int kAnswerTimeoutMs = 5000;

class TUdpSocket {
public:
    TUdpSocket()
    {
        WSADATA data;
        started_ = WSAStartup(MAKEWORD(1, 1), &data) == 0;
        if (started_)
            socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
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

private:
    bool started_ = false;
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

// One MX query to one server; answers that are not ours (another identifier, source or
// question) are dropped and the wait goes on until its end.
AnsiString QueryMx(SOCKET socket, const TDnsServer& server, const AnsiString& domain)
{
    const uint16_t id = RandomId();
    const auto query = BuildDnsQuery(id, domain, kDnsTypeMx);
    if (!query)
        return {};
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(server.port);
    target.sin_addr.s_addr = inet_addr(server.address.c_str());
    if (target.sin_addr.s_addr == INADDR_NONE ||
        sendto(socket, reinterpret_cast<const char*>(query->data()), static_cast<int>(query->size()), 0,
               reinterpret_cast<const sockaddr*>(&target), sizeof(target)) != static_cast<int>(query->size()))
        return {};
    const DWORD deadline = GetTickCount() + kAnswerTimeoutMs;
    for (;;) {
        const int left = static_cast<int>(deadline - GetTickCount());
        if (left <= 0 || !WaitReadable(socket, left))
            return {};
        uint8_t answer[kDnsMaxUdpMessage];
        sockaddr_in from{};
        int fromSize = sizeof(from);
        const int size = recvfrom(socket, reinterpret_cast<char*>(answer), sizeof(answer), 0,
                                  reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (size <= 0 || from.sin_addr.s_addr != target.sin_addr.s_addr || from.sin_port != target.sin_port)
            continue;
        const TDnsAnswer parsed = ParseDnsAnswer({answer, static_cast<size_t>(size)}, id, domain, kDnsTypeMx);
        if (parsed.valid)
            return LowestPreferenceExchanger(parsed);
    }
}

AnsiString QueryAll(const std::vector<TDnsServer>& servers, const AnsiString& domain)
{
    TUdpSocket socket;
    if (socket.Get() == INVALID_SOCKET)
        return {};
    for (const TDnsServer& server : servers) {
        AnsiString exchanger = QueryMx(socket.Get(), server, domain);
        if (!exchanger.empty())
            return exchanger;
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
            servers.push_back({address, 53});
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

AnsiString LookupMailExchanger(const UnicodeString& recipient, const std::vector<TDnsServer>& servers)
{
    const AnsiString domain = RecipientDomain(recipient);
    if (domain.empty())
        return {};
    AnsiString exchanger = QueryAll(servers, domain);
    const AnsiString shortDomain = ShortDomain(domain);
    if (exchanger.empty() && shortDomain != domain)
        exchanger = QueryAll(servers, shortDomain);
    return exchanger;
}
