#include "mapi/MailtoUrl.h"

#include "net/MailText.h"
#include "text/CaseFolding.h"
#include "text/Utf.h"

namespace {

TCharSet EscapedBytes()
{
    TCharSet set;
    for (int c = 0; c < 256; ++c) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.' ||
                           c == '@';
        if (!plain)
            set.Add(static_cast<unsigned char>(c));
    }
    return set;
}

UnicodeString Escaped(std::u16string_view text)
{
    static const TCharSet escaped = EscapedBytes();
    const AnsiString encoded = EncodeBytes(WideToUTF8(text), '%', escaped);
    return UnicodeString(encoded.begin(), encoded.end());
}

} // namespace

UnicodeString MailtoUrl(std::u16string_view recipients, std::u16string_view subject, std::u16string_view body)
{
    return u"mailto:" + Escaped(recipients) + u"?subject=" + Escaped(subject) + u"&body=" + Escaped(body);
}

UnicodeString MailtoRecipients(std::u16string_view command, std::u16string_view recipients)
{
    UnicodeString result(recipients);
    if (UpperCaseW(command).find(u"OUTLOOK") != UnicodeString::npos) {
        for (char16_t& c : result)
            c = c == u',' ? u';' : c;
    }
    return result;
}

UnicodeString MailtoCommandLine(std::u16string_view command, std::u16string_view url, size_t maxLength)
{
    UnicodeString line(command);
    const size_t placeholder = line.find(u"%1");
    if (placeholder != UnicodeString::npos) {
        line.replace(placeholder, 2, url);
    } else {
        if (!line.empty() && line.back() != u' ')
            line += u' ';
        line += url;
    }
    if (line.size() <= maxLength)
        return line;
    size_t cut = maxLength;
    // An escape is "%" and two digits; digits are never "%".
    for (size_t back = 1; back <= 2 && back <= cut; ++back) {
        if (line[cut - back] == u'%') {
            cut -= back;
            break;
        }
    }
    line.resize(cut);
    return line;
}
