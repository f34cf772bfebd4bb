#include "net/MailText.h"

#include <cctype>
#include <cstdio>

#include <gtest/gtest.h>

#include "crypto/Base64.h"
#include "text/Utf.h"

namespace {

TEST(MailText, PlainSubjectIsStillAnEncodedWord)
{
    EXPECT_EQ(EncodeSubject(u"Bug report 1.2", false, kFoldedWords), "=?ISO-8859-1?Q?Bug=20report=201=2E2?=");
    EXPECT_EQ(EncodeSubject(u"Gr\u00FC\u00DFe", false, kFoldedWords), "=?ISO-8859-1?Q?Gr=FC=DFe?=");
    EXPECT_EQ(EncodeSubject(u"ab", true, kFoldedWords), "=?UTF-8?B?YWI=?=");
    // The euro sign is outside ISO-8859-1.
    EXPECT_EQ(EncodeSubject(u"\u20AC", false, kFoldedWords), "=?UTF-8?B?4oKs?=");
}

std::string QEscaped(std::u16string_view latin1)
{
    std::string escaped;
    for (const char16_t c : latin1) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "=%02X", static_cast<unsigned>(c));
        escaped += std::isalnum(c) ? std::string(1, static_cast<char>(c)) : std::string(hex);
    }
    return escaped;
}

// Long texts go as several words of whole characters, each within 75 characters, that read
// back to the text; the words of a mail header are folded onto lines of their own.
TEST(MailText, LongTextsAreSplitIntoWordsOfWholeCharacters)
{
    const struct {
        std::u16string text;
        bool alwaysUtf8;
    } cases[] = {{std::u16string(200, u'\u00E4'), false},
                 {std::u16string(130, u'a'), true},
                 {std::u16string(90, u'\u20AC'), false},
                 {[] {
                      std::u16string pairs;
                      for (int i = 0; i < 40; ++i)
                          pairs += u"x\U0001F600";
                      return pairs;
                  }(),
                  false}};
    for (const auto& [text, alwaysUtf8] : cases) {
        const AnsiString encoded = EncodeSubject(text, alwaysUtf8, kFoldedWords);
        const bool utf8 = encoded.starts_with("=?UTF-8?B?");
        const std::string_view start = utf8 ? "=?UTF-8?B?" : "=?ISO-8859-1?Q?";
        std::string inner;
        size_t words = 0;
        for (size_t at = 0; at < encoded.size(); ++words) {
            const size_t end = std::min(encoded.find(kFoldedWords, at), encoded.size());
            const std::string_view word = std::string_view(encoded).substr(at, end - at);
            EXPECT_LE(word.size(), 75u);
            ASSERT_TRUE(word.starts_with(start) && word.ends_with("?=")) << word;
            const std::string_view payload = word.substr(start.size(), word.size() - start.size() - 2);
            // Each word decodes on its own: no character is split between two.
            const std::string bytes = utf8 ? DecodeBase64Str(payload) : std::string(payload);
            if (utf8) {
                EXPECT_EQ(WideToUTF8(UTF8ToWide(bytes)), bytes);
            }
            inner += bytes;
            at = end + kFoldedWords.size();
        }
        EXPECT_GT(words, 1u);
        EXPECT_EQ(inner, utf8 ? WideToUTF8(text) : QEscaped(text));
    }
    // Plain text that a reader would take for an encoded word, or that is longer than one, is encoded.
    EXPECT_EQ(EncodeWordIfNeeded(u"=?UTF-8?B?QQ==?=", false, kOneLineWords), "=?ISO-8859-1?Q?=3D=3FUTF=2D8=3FB=3FQQ=3D=3D=3F=3D?=");
    EXPECT_EQ(EncodeWordIfNeeded(std::u16string(76, u'b'), false, kOneLineWords),
              "=?ISO-8859-1?Q?" + std::string(58, 'b') + "?= =?ISO-8859-1?Q?" + std::string(18, 'b') + "?=");
    EXPECT_EQ(EncodeWordIfNeeded(std::u16string(75, u'b'), false, kOneLineWords), std::string(75, 'b'));
}

TEST(MailText, EncodeBytesEscapesOnlyTheSet)
{
    EXPECT_EQ(EncodeBytes("a b%\xFF", '%', TCharSet(" %\xFF")), "a%20b%25%FF");
    EXPECT_EQ(EncodeBytes("", '=', TCharSet("a")), "");
}

TEST(MailText, DisplayNamesOutsideLatin1AreEncodedWords)
{
    EXPECT_EQ(FormatMailAddress(u"Jane Roe  <jane@x.org>", true, false, kFoldedWords), "Jane Roe <jane@x.org>");
    EXPECT_EQ(FormatMailAddress(u"\u0416 <z@x.org>", true, false, kFoldedWords), "=?UTF-8?B?0JY=?= <z@x.org>");
    EXPECT_EQ(FormatMailAddress(u"J\u00FCrgen <j@x.org>", true, false, kFoldedWords), "=?ISO-8859-1?Q?J=FCrgen?= <j@x.org>");
    EXPECT_EQ(FormatMailAddress(u"Jane <jane@x.org>", true, true, kFoldedWords), "=?UTF-8?B?SmFuZQ==?= <jane@x.org>");
    EXPECT_EQ(FormatMailAddress(u"Jane <jane@x.org>", false, false, kFoldedWords), "<jane@x.org>");
    EXPECT_EQ(FormatMailAddress(u"jane@x.org", true, false, kFoldedWords), "<jane@x.org>");
    EXPECT_EQ(FormatMailAddress(u" <jane@x.org>", true, false, kFoldedWords), "<jane@x.org>");
}

TEST(MailText, LineBreaksCannotStartHeadersOfTheirOwn)
{
    EXPECT_EQ(FormatMailAddress(u"Eve\r\nBcc: all@x.org <eve@x.org>", true, false, kFoldedWords),
              "Eve  Bcc: all@x.org <eve@x.org>");
    EXPECT_EQ(EncodeWordIfNeeded(u"a\nb", false, kOneLineWords), "a b");
}

// Quoted pairs while the name is printable ASCII, RFC 2231 otherwise.
TEST(MailText, ParametersThatParsersReadBackWhole)
{
    EXPECT_EQ(QuotedParameter("name", "a \"b\" \\c;d"), "name=\"a \\\"b\\\" \\\\c;d\"");
    EXPECT_EQ(NameParameter("filename", u"say \"hi\".txt", false), "filename=\"say \\\"hi\\\".txt\"");
    EXPECT_EQ(NameParameter("filename", u"\u0416 \"x\"%.txt", false), "filename*=UTF-8''%D0%96%20%22x%22%25.txt");
    EXPECT_EQ(NameParameter("filename", u"a-b_c~d.txt", true), "filename*=UTF-8''a-b_c~d.txt");
    EXPECT_EQ(NameParameter("filename", u"tab\t", false), "filename*=UTF-8''tab%09");
}

TEST(MailText, RecipientListsAndAddresses)
{
    const auto items = SplitRecipients(u" a@x.org, Bob <b@y.org>,, ,c@z.org ");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[1], u"Bob <b@y.org>");
    EXPECT_EQ(MailAddressOf(items[0]), u"a@x.org");
    EXPECT_EQ(MailAddressOf(items[1]), u"b@y.org");
    EXPECT_EQ(MailAddressOf(u"Unclosed <u@x.org"), u"u@x.org");
    EXPECT_TRUE(SplitRecipients(u"").empty());
}

TEST(MailText, MimeTypesByExtensionWithoutCase)
{
    EXPECT_EQ(GetMimeType(u"report.ZBR"), "text/plain");
    EXPECT_EQ(GetMimeType(u"shot.Jpeg"), "image/jpeg");
    EXPECT_EQ(GetMimeType(u"shot.png"), "image/png");
    EXPECT_EQ(GetMimeType(u"all.zip"), "application/zip");
    EXPECT_EQ(GetMimeType(u"a.txt.exe"), "application/octet-stream");
    EXPECT_EQ(GetMimeType(u"noext"), "application/octet-stream");
}

} // namespace
