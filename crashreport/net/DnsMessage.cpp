#include "net/DnsMessage.h"

#include <algorithm>

namespace {

constexpr uint16_t kClassIn = 1;
constexpr size_t kMaxLabel = 63;
constexpr size_t kMaxName = 255;
// More pointers than a legitimate name of 255 bytes could need means a loop.
constexpr int kMaxPointerHops = 64;
constexpr uint16_t kFlagResponse = 0x8000;
constexpr uint16_t kRecursionDesired = 0x0100;
constexpr uint16_t kResponseCodeMask = 0x000F;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerCase(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), LowerAscii);
    return lower;
}

std::string WithoutFinalDot(std::string_view domain)
{
    if (!domain.empty() && domain.back() == '.')
        domain.remove_suffix(1);
    return LowerCase(domain);
}

void Put16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

// Reads through a message without ever passing its end; any overrun makes it fail for good.
class TDnsReader {
public:
    explicit TDnsReader(std::span<const uint8_t> message) : message_(message) {}

    bool Ok() const { return ok_; }
    size_t Position() const { return position_; }

    uint16_t Read16()
    {
        if (!Need(2))
            return 0;
        const uint16_t value = static_cast<uint16_t>(message_[position_] << 8 | message_[position_ + 1]);
        position_ += 2;
        return value;
    }

    uint32_t Read32()
    {
        const uint32_t high = Read16();
        return high << 16 | Read16();
    }

    void Skip(size_t count)
    {
        if (Need(count))
            position_ += count;
    }

    // A possibly compressed name, dotted and lower case.
    std::string ReadName()
    {
        std::string name;
        size_t at = position_;
        std::optional<size_t> resumeAt;
        int hops = 0;
        while (ok_) {
            if (at >= message_.size())
                return Fail();
            const uint8_t length = message_[at];
            if ((length & 0xC0) == 0xC0) {
                if (at + 1 >= message_.size() || ++hops > kMaxPointerHops)
                    return Fail();
                if (!resumeAt)
                    resumeAt = at + 2;
                at = static_cast<size_t>(length & 0x3F) << 8 | message_[at + 1];
                continue;
            }
            if (length > kMaxLabel)
                return Fail();
            if (length == 0) {
                position_ = resumeAt.value_or(at + 1);
                return name;
            }
            if (at + 1 + length > message_.size() || name.size() + length + 1 > kMaxName)
                return Fail();
            if (!name.empty())
                name += '.';
            name.append(reinterpret_cast<const char*>(&message_[at + 1]), length);
            at += 1 + length;
        }
        return {};
    }

private:
    bool Need(size_t count)
    {
        if (ok_ && message_.size() - position_ >= count)
            return true;
        ok_ = false;
        return false;
    }

    std::string Fail()
    {
        ok_ = false;
        return {};
    }

    std::span<const uint8_t> message_;
    size_t position_ = 0;
    bool ok_ = true;
};

struct TResourceRecord {
    std::string owner;
    uint16_t type = 0;
    uint16_t dataLength = 0;
    size_t dataStart = 0;
};

TResourceRecord ReadRecordHeader(TDnsReader& reader)
{
    TResourceRecord record;
    record.owner = LowerCase(reader.ReadName());
    record.type = reader.Read16();
    reader.Read16(); // class
    reader.Read32(); // time to live
    record.dataLength = reader.Read16();
    record.dataStart = reader.Position();
    return record;
}

// The name a record's data holds; it must lie within the data.
std::optional<TDnsRecord> ReadNameRecord(TDnsReader& reader, const TResourceRecord& record)
{
    TDnsRecord result;
    if (record.type == kDnsTypeMx)
        result.preference = reader.Read16();
    result.name = LowerCase(reader.ReadName());
    if (!reader.Ok() || reader.Position() > record.dataStart + record.dataLength)
        return std::nullopt;
    return result;
}

} // namespace

std::optional<std::vector<uint8_t>> BuildDnsQuery(uint16_t id, std::string_view domain, uint16_t type)
{
    if (!domain.empty() && domain.back() == '.')
        domain.remove_suffix(1);
    if (domain.empty() || domain.size() + 2 > kMaxName)
        return std::nullopt;
    std::vector<uint8_t> query;
    Put16(query, id);
    Put16(query, kRecursionDesired);
    Put16(query, 1);
    for (int section = 0; section < 3; ++section)
        Put16(query, 0);
    size_t start = 0;
    while (start <= domain.size()) {
        const size_t dot = std::min(domain.find('.', start), domain.size());
        const size_t length = dot - start;
        if (length == 0 || length > kMaxLabel)
            return std::nullopt;
        query.push_back(static_cast<uint8_t>(length));
        query.insert(query.end(), domain.begin() + static_cast<ptrdiff_t>(start),
                     domain.begin() + static_cast<ptrdiff_t>(dot));
        start = dot + 1;
    }
    query.push_back(0);
    Put16(query, type);
    Put16(query, kClassIn);
    return query;
}

TDnsAnswer ParseDnsAnswer(std::span<const uint8_t> message, uint16_t id, std::string_view domain, uint16_t type)
{
    TDnsAnswer answer;
    TDnsReader reader(message);
    const uint16_t answerId = reader.Read16();
    const uint16_t flags = reader.Read16();
    const uint16_t questions = reader.Read16();
    const uint16_t answers = reader.Read16();
    const uint16_t authorities = reader.Read16();
    const uint16_t additionals = reader.Read16();
    if (!reader.Ok() || answerId != id || !(flags & kFlagResponse) || questions != 1)
        return answer;
    const std::string asked = reader.ReadName();
    const uint16_t askedType = reader.Read16();
    const uint16_t askedClass = reader.Read16();
    if (!reader.Ok() || LowerCase(asked) != WithoutFinalDot(domain) || askedType != type || askedClass != kClassIn)
        return answer;
    answer.valid = true;
    answer.responseCode = flags & kResponseCodeMask;
    if (answer.responseCode != 0)
        return answer;
    const int recordCount = answers + authorities + additionals;
    for (int index = 0; index < recordCount && reader.Ok(); ++index) {
        const TResourceRecord record = ReadRecordHeader(reader);
        if (!reader.Ok())
            break;
        if (index < answers && type == kDnsTypeA) {
            if (record.type == kDnsTypeA && record.dataLength == 4 && record.owner == WithoutFinalDot(domain))
                answer.hostAddresses.push_back(reader.Read32());
        } else if (index < answers && record.type == type) {
            if (auto found = ReadNameRecord(reader, record))
                answer.answers.push_back(std::move(*found));
        } else if (index >= answers && index < answers + authorities && record.type == kDnsTypeNs) {
            if (auto found = ReadNameRecord(reader, record))
                answer.authorities.push_back(std::move(*found));
        } else if (index >= answers + authorities && record.type == kDnsTypeA && record.dataLength == 4) {
            answer.addresses.emplace_back(record.owner, reader.Read32());
        }
        // Whatever was read inside, the next record starts behind the data.
        TDnsReader next(message);
        next.Skip(record.dataStart);
        next.Skip(record.dataLength);
        if (!next.Ok())
            break;
        reader = next;
    }
    return answer;
}

std::vector<uint32_t> ReferralAddresses(const TDnsAnswer& answer)
{
    std::vector<uint32_t> addresses;
    if (!answer.answers.empty() || !answer.hostAddresses.empty())
        return addresses;
    for (const TDnsRecord& server : answer.authorities) {
        for (const auto& [owner, address] : answer.addresses) {
            if (owner == server.name && std::find(addresses.begin(), addresses.end(), address) == addresses.end())
                addresses.push_back(address);
        }
    }
    return addresses;
}

std::vector<std::string> NameServersWithoutAddress(const TDnsAnswer& answer)
{
    std::vector<std::string> names;
    if (!answer.answers.empty() || !answer.hostAddresses.empty() || !ReferralAddresses(answer).empty())
        return names;
    for (const TDnsRecord& server : answer.authorities) {
        if (std::find(names.begin(), names.end(), server.name) == names.end())
            names.push_back(server.name);
    }
    return names;
}

std::string LowestPreferenceExchanger(const TDnsAnswer& answer)
{
    const auto lowest = std::min_element(answer.answers.begin(), answer.answers.end(),
                                         [](const TDnsRecord& a, const TDnsRecord& b) { return a.preference < b.preference; });
    return lowest == answer.answers.end() ? std::string() : lowest->name;
}
