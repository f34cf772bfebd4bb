#include "settings/StoredPasswords.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TPasswordCase {
    const char16_t* server;
    const char16_t* account;
    const char16_t* plain;
    const char* stored; // as the settings generator writes it
};

// Made at build time by make_password_cases.py through the generator.
const TPasswordCase kCases[] = {
#include "PasswordCases.inc"
};

TEST(StoredPasswords, TheGeneratorsStoredTextDeciphersWithItsServerAndAccountOnly)
{
    for (const TPasswordCase& test : kCases) {
        const std::string stored = test.stored;
        const UnicodeString storedText(stored.begin(), stored.end());
        SCOPED_TRACE(stored);
        EXPECT_EQ(DecipherStoredPassword(test.server, test.account, storedText), test.plain);
        if (!storedText.empty()) {
            EXPECT_NE(DecipherStoredPassword(test.server, UnicodeString(test.account) + u"x", storedText), test.plain);
        }
    }
}

TSettingValue Text(const char* name, const UnicodeString& text)
{
    TSettingValue value;
    value.name = name;
    value.kind = TSettingKind::Text;
    value.text = text;
    return value;
}

UnicodeString Stored(const char16_t* plain)
{
    for (const TPasswordCase& test : kCases)
        if (UnicodeString(test.plain) == plain && UnicodeString(test.server) == u"mail.example.test") {
            const std::string stored = test.stored;
            return UnicodeString(stored.begin(), stored.end());
        }
    ADD_FAILURE() << "no such case";
    return {};
}

// Each password takes its own server and account; a text that is no cipher text is never kept.
TEST(StoredPasswords, LoadingReplacesEachPasswordByItsPlainText)
{
    std::vector<TSettingValue> records{
        Text("HttpServer", u"mail.example.test"), Text("HttpAccount", u"reporter"),
        Text("HttpPassword", Stored(u"s3cret")),  Text("BugTrAccount", u"reporter"),
        Text("BugTrPassword", Stored(u"eight ch")), Text("SmtpAccount", u"reporter"),
        Text("SmtpPassword", u"written in plain"), Text("HttpPassword", Stored(u"eight ch")),
    };
    DecipherStoredPasswords(records);
    EXPECT_EQ(records[2].text, u"s3cret");
    EXPECT_EQ(records[4].text, u"eight ch");
    EXPECT_EQ(records[6].text, u"");
    EXPECT_EQ(records[7].text, Stored(u"eight ch")) << "only the first record of a name is read";
}

} // namespace
