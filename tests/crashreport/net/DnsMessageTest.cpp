#include "net/DnsMessage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using TBytes = std::vector<uint8_t>;

void Put16(TBytes& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void PutName(TBytes& out, const std::string& dotted)
{
    size_t start = 0;
    while (start < dotted.size()) {
        size_t dot = dotted.find('.', start);
        if (dot == std::string::npos)
            dot = dotted.size();
        out.push_back(static_cast<uint8_t>(dot - start));
        out.insert(out.end(), dotted.begin() + static_cast<ptrdiff_t>(start), dotted.begin() + static_cast<ptrdiff_t>(dot));
        start = dot + 1;
    }
    out.push_back(0);
}

// An answer to the query for example.org MX with id 0x1234: its question at offset 12.
TBytes AnswerHeader(uint16_t answers, uint16_t id = 0x1234, uint16_t flags = 0x8180)
{
    TBytes message;
    Put16(message, id);
    Put16(message, flags);
    Put16(message, 1);
    Put16(message, answers);
    Put16(message, 0);
    Put16(message, 0);
    PutName(message, "example.org");
    Put16(message, kDnsTypeMx);
    Put16(message, 1);
    return message;
}

// An MX record whose owner points at the question's name and whose exchanger is a name plus
// a pointer to it.
void PutMx(TBytes& message, uint16_t preference, const std::string& label)
{
    message.insert(message.end(), {0xC0, 12});
    Put16(message, kDnsTypeMx);
    Put16(message, 1);
    Put16(message, 0);
    Put16(message, 300);
    Put16(message, static_cast<uint16_t>(2 + 1 + label.size() + 2));
    Put16(message, preference);
    message.push_back(static_cast<uint8_t>(label.size()));
    message.insert(message.end(), label.begin(), label.end());
    message.insert(message.end(), {0xC0, 12});
}

TEST(DnsMessage, QueryHasHeaderLabelsTypeAndClass)
{
    const auto query = BuildDnsQuery(0xBEEF, "mail.Example.org.", kDnsTypeMx);
    ASSERT_TRUE(query);
    const TBytes expected{0xBE, 0xEF, 0x01, 0x00, 0, 1, 0, 0, 0, 0, 0, 0, 4, 'm', 'a', 'i', 'l', 7, 'E', 'x', 'a', 'm',
                          'p',  'l',  'e',  3,    'o', 'r', 'g', 0, 0, 15, 0, 1};
    EXPECT_EQ(*query, expected);
}

TEST(DnsMessage, NamesThatAreNoDomainNamesGiveNoQuery)
{
    EXPECT_FALSE(BuildDnsQuery(1, "", kDnsTypeMx));
    EXPECT_FALSE(BuildDnsQuery(1, "a..org", kDnsTypeMx));
    EXPECT_FALSE(BuildDnsQuery(1, ".org", kDnsTypeMx));
    EXPECT_FALSE(BuildDnsQuery(1, std::string(64, 'a') + ".org", kDnsTypeMx));
    EXPECT_TRUE(BuildDnsQuery(1, std::string(63, 'a') + ".org", kDnsTypeMx));
    std::string longName;
    while (longName.size() < 260)
        longName += "abcdefgh.";
    longName += "org";
    EXPECT_FALSE(BuildDnsQuery(1, longName, kDnsTypeMx));
}

TEST(DnsMessage, LowestPreferenceWinsWhateverTheOrder)
{
    TBytes message = AnswerHeader(3);
    PutMx(message, 20, "backup");
    PutMx(message, 5, "primary");
    PutMx(message, 5, "second");
    const TDnsAnswer answer = ParseDnsAnswer(message, 0x1234, "EXAMPLE.org", kDnsTypeMx);
    ASSERT_TRUE(answer.valid);
    ASSERT_EQ(answer.answers.size(), 3u);
    EXPECT_EQ(answer.answers[0].name, "backup.example.org");
    EXPECT_EQ(LowestPreferenceExchanger(answer), "primary.example.org");
}

TEST(DnsMessage, AnswersToOtherQueriesAreIgnored)
{
    TBytes message = AnswerHeader(1, 0x4321);
    PutMx(message, 10, "mx");
    EXPECT_FALSE(ParseDnsAnswer(message, 0x1234, "example.org", kDnsTypeMx).valid);
    EXPECT_FALSE(ParseDnsAnswer(message, 0x4321, "example.com", kDnsTypeMx).valid);
    EXPECT_FALSE(ParseDnsAnswer(message, 0x4321, "example.org", kDnsTypeNs).valid);
    EXPECT_TRUE(ParseDnsAnswer(message, 0x4321, "example.org", kDnsTypeMx).valid);
    // A query, not an answer.
    TBytes query = AnswerHeader(1, 0x1234, 0x0100);
    PutMx(query, 10, "mx");
    EXPECT_FALSE(ParseDnsAnswer(query, 0x1234, "example.org", kDnsTypeMx).valid);
    // A name error is our answer, with nothing in it.
    TBytes failure = AnswerHeader(1, 0x1234, 0x8183);
    PutMx(failure, 10, "mx");
    const TDnsAnswer nameError = ParseDnsAnswer(failure, 0x1234, "example.org", kDnsTypeMx);
    EXPECT_TRUE(nameError.valid);
    EXPECT_EQ(nameError.responseCode, 3);
    EXPECT_TRUE(nameError.answers.empty());
}

TEST(DnsMessage, PointerLoopsEndTheParse)
{
    TBytes message = AnswerHeader(1);
    const size_t owner = message.size();
    // The owner name points at itself.
    message.insert(message.end(), {0xC0, static_cast<uint8_t>(owner)});
    Put16(message, kDnsTypeMx);
    const TDnsAnswer answer = ParseDnsAnswer(message, 0x1234, "example.org", kDnsTypeMx);
    EXPECT_TRUE(answer.answers.empty());
    EXPECT_EQ(LowestPreferenceExchanger(answer), "");
}

TEST(DnsMessage, EveryCutOfAnAnswerIsReadWithinItsBytes)
{
    TBytes message = AnswerHeader(2);
    PutMx(message, 10, "one");
    PutMx(message, 5, "two");
    for (size_t size = 0; size < message.size(); ++size) {
        // A copy of exactly `size` bytes, so that the sanitizers see any read behind it.
        const TBytes cut(message.begin(), message.begin() + static_cast<ptrdiff_t>(size));
        const TDnsAnswer answer = ParseDnsAnswer(cut, 0x1234, "example.org", kDnsTypeMx);
        EXPECT_LE(answer.answers.size(), 1u) << size;
    }
    EXPECT_EQ(LowestPreferenceExchanger(ParseDnsAnswer(message, 0x1234, "example.org", kDnsTypeMx)), "two.example.org");
}

TEST(DnsMessage, ExchangerNameMustLieWithinItsRecord)
{
    TBytes message = AnswerHeader(1);
    PutMx(message, 10, "mx");
    // Data length 2 holds only the preference; the name behind it belongs to no record.
    message[message.size() - 9] = 0;
    message[message.size() - 8] = 2;
    EXPECT_TRUE(ParseDnsAnswer(message, 0x1234, "example.org", kDnsTypeMx).answers.empty());
}

TEST(DnsMessage, ReferralsAndTheirAddressesAreCollected)
{
    TBytes message;
    Put16(message, 7);
    Put16(message, 0x8000);
    Put16(message, 1);
    Put16(message, 0);
    Put16(message, 1);
    Put16(message, 1);
    PutName(message, "example.org");
    Put16(message, kDnsTypeNs);
    Put16(message, 1);
    // Authority: example.org NS ns1.example.org
    message.insert(message.end(), {0xC0, 12});
    Put16(message, kDnsTypeNs);
    Put16(message, 1);
    Put16(message, 0);
    Put16(message, 60);
    Put16(message, 6);
    const size_t nsName = message.size();
    message.insert(message.end(), {3, 'n', 's', '1', 0xC0, 12});
    // Additional: ns1.example.org A 127.0.0.53
    message.insert(message.end(), {0xC0, static_cast<uint8_t>(nsName)});
    Put16(message, 1);
    Put16(message, 1);
    Put16(message, 0);
    Put16(message, 60);
    Put16(message, 4);
    message.insert(message.end(), {127, 0, 0, 53});
    const TDnsAnswer answer = ParseDnsAnswer(message, 7, "example.org", kDnsTypeNs);
    ASSERT_TRUE(answer.valid);
    ASSERT_EQ(answer.authorities.size(), 1u);
    EXPECT_EQ(answer.authorities[0].name, "ns1.example.org");
    ASSERT_EQ(answer.addresses.size(), 1u);
    EXPECT_EQ(answer.addresses[0].first, "ns1.example.org");
    EXPECT_EQ(answer.addresses[0].second, 0x7F000035u);
}

TEST(DnsMessage, ReferralLeadsOnlyToNameServersWithAddresses)
{
    TDnsAnswer referral;
    referral.valid = true;
    referral.authorities = {{0, "a.nic.test"}, {0, "b.nic.test"}, {0, "c.elsewhere"}};
    referral.addresses = {{"b.nic.test", 0x7F000202u}, {"unrelated.test", 0x7F000909u}, {"a.nic.test", 0x7F000201u},
                          {"b.nic.test", 0x7F000203u}, {"a.nic.test", 0x7F000201u}};
    // In the order of the name servers; repeats once; addresses of names no server has are not taken.
    EXPECT_EQ(ReferralAddresses(referral), (std::vector<uint32_t>{0x7F000201u, 0x7F000202u, 0x7F000203u}));

    TDnsAnswer withoutGlue = referral;
    withoutGlue.addresses = {{"unrelated.test", 0x7F000909u}};
    EXPECT_TRUE(ReferralAddresses(withoutGlue).empty());

    // The domain's own servers answer the question: the walk has arrived.
    TDnsAnswer arrived = referral;
    arrived.answers = {{0, "ns.x.test"}};
    EXPECT_TRUE(ReferralAddresses(arrived).empty());
}

TEST(DnsMessage, ReferralWithoutAddressesNamesItsServersToLookUp)
{
    TDnsAnswer referral;
    referral.valid = true;
    referral.authorities = {{0, "ns1.y.test"}, {0, "ns2.y.test"}, {0, "ns1.y.test"}};
    referral.addresses = {{"unrelated.test", 0x7F000909u}};
    EXPECT_EQ(NameServersWithoutAddress(referral), (std::vector<std::string>{"ns1.y.test", "ns2.y.test"}));
    // One address is enough to go on.
    TDnsAnswer glued = referral;
    glued.addresses.emplace_back("ns2.y.test", 0x7F000202u);
    EXPECT_TRUE(NameServersWithoutAddress(glued).empty());
    // Answers are no referrals.
    TDnsAnswer arrived = referral;
    arrived.answers = {{0, "ns.x.test"}};
    EXPECT_TRUE(NameServersWithoutAddress(arrived).empty());
    TDnsAnswer resolved = referral;
    resolved.hostAddresses = {0x7F000301u};
    EXPECT_TRUE(NameServersWithoutAddress(resolved).empty());
    EXPECT_TRUE(ReferralAddresses(resolved).empty());
}

TEST(DnsMessage, AddressAnswerTakesOnlyTheAskedHostsRecords)
{
    TBytes message;
    Put16(message, 0x0101);
    Put16(message, 0x8180);
    Put16(message, 1);
    Put16(message, 3);
    Put16(message, 0);
    Put16(message, 0);
    PutName(message, "NS1.y.test");
    Put16(message, kDnsTypeA);
    Put16(message, 1);
    const auto putA = [&message](const std::string& owner, uint16_t length, std::vector<uint8_t> data) {
        PutName(message, owner);
        Put16(message, kDnsTypeA);
        Put16(message, 1);
        Put16(message, 0);
        Put16(message, 60);
        Put16(message, length);
        message.insert(message.end(), data.begin(), data.end());
    };
    putA("ns1.Y.test", 4, {127, 0, 3, 1});
    putA("other.y.test", 4, {127, 0, 9, 9});
    // A record that is no IPv4 address.
    putA("ns1.y.test", 3, {1, 2, 3});
    const TDnsAnswer answer = ParseDnsAnswer(message, 0x0101, "ns1.y.test", kDnsTypeA);
    ASSERT_TRUE(answer.valid);
    EXPECT_EQ(answer.hostAddresses, std::vector<uint32_t>{0x7F000301u});
    EXPECT_TRUE(answer.answers.empty());
}

} // namespace
