// DNS answers over any bytes: the parse must stay within the message whatever its counts,
// lengths and compression pointers claim. The first byte chooses the asked type; the
// input is parsed as it is and behind the header and question of a matching answer, so that
// the records are reached.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "net/DnsMessage.h"

namespace {

void Check(std::span<const uint8_t> message, uint16_t type)
{
    const TDnsAnswer answer = ParseDnsAnswer(message, 0x1234, "example.org", type);
    if (!answer.valid && !answer.answers.empty())
        __builtin_trap();
    for (const TDnsRecord& record : answer.answers)
        if (record.name.size() > 255)
            __builtin_trap();
    LowestPreferenceExchanger(answer);
    // A referral leads only to addresses the answer gives, each once.
    const std::vector<uint32_t> referred = ReferralAddresses(answer);
    if (referred.size() > answer.addresses.size())
        __builtin_trap();
    // Name servers to look up only where no referral address is given.
    if (!NameServersWithoutAddress(answer).empty() && !referred.empty())
        __builtin_trap();
    if (type != kDnsTypeA && !answer.hostAddresses.empty())
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static constexpr uint16_t kTypes[] = {kDnsTypeMx, kDnsTypeNs, kDnsTypeA, kDnsTypeMx};
    const uint16_t type = size > 0 ? kTypes[data[0] & 3] : kDnsTypeMx;
    Check({data, size}, type);
    auto query = BuildDnsQuery(0x1234, "example.org", type);
    if (!query)
        __builtin_trap();
    std::vector<uint8_t> answer = *query;
    answer[2] = 0x81;
    answer[3] = 0x80;
    // Record counts from the input, the records themselves behind the question.
    for (size_t i = 0; i < 6 && i < size; ++i)
        answer[6 + i] = data[i] & 0x07;
    answer.insert(answer.end(), data + (size < 6 ? size : 6), data + size);
    Check(answer, type);
    return 0;
}
