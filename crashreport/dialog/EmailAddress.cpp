#include "dialog/EmailAddress.h"

#include "text/CharSet.h"
#include "text/TextEdit.h"

namespace {

const TCharSet& AddressCharacters()
{
    static const TCharSet set("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789'+-_");
    return set;
}

} // namespace

bool IsValidEmail(std::u16string_view address)
{
    if (address.empty() || TrimW(address) != address)
        return false;
    // An "@" in front counts for nothing: it leaves no name.
    const size_t at = address.rfind(u'@');
    if (at == std::u16string_view::npos || at == 0)
        return false;
    if (address.find(u'.', at) == std::u16string_view::npos)
        return false;
    if (address.front() == u'.' || address.back() == u'.' || (at + 1 < address.size() && address[at + 1] == u'.'))
        return false;
    UnicodeString rest(address);
    if (!DeleteCharSetW(rest, AddressCharacters()))
        return false;
    if (!DeleteCharW(rest, u'.'))
        return false;
    return rest == u"@";
}

std::optional<UnicodeString> ContactMailFrom(std::u16string_view name, std::u16string_view address)
{
    if (address.empty())
        return std::nullopt;
    if (name.empty())
        return UnicodeString(address);
    return UnicodeString(name) + u" <" + UnicodeString(address) + u">";
}
