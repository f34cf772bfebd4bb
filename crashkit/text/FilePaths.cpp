#include "text/FilePaths.h"

namespace {

constexpr std::u16string_view::size_type npos = std::u16string_view::npos;

bool IsIdentStart(char16_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c > 255;
}

} // namespace

UnicodeString ExtractFileNameW(std::u16string_view path)
{
    const size_t slash = path.rfind(u'\\');
    return UnicodeString(slash == npos ? path : path.substr(slash + 1));
}

UnicodeString ExtractFilePathW(std::u16string_view path)
{
    const size_t slash = path.rfind(u'\\');
    return slash == npos ? UnicodeString() : UnicodeString(path.substr(0, slash + 1));
}

UnicodeString ExtractFileExtW(std::u16string_view path)
{
    const size_t dot = path.rfind(u'.');
    return dot == npos ? UnicodeString() : UnicodeString(path.substr(dot));
}

UnicodeString ExtractRootW(std::u16string_view path)
{
    if (path.size() < 2)
        return UnicodeString(path);
    if (path.substr(0, 2) == u"\\\\") {
        // The server name ends at the first "\" from position 4 on, the share at the next.
        const size_t serverEnd = path.size() > 3 ? path.find(u'\\', 3) : npos;
        const size_t shareEnd = serverEnd == npos ? npos : path.find(u'\\', serverEnd + 1);
        if (shareEnd == npos)
            return UnicodeString(path) + u"\\";
        return UnicodeString(path.substr(0, shareEnd + 1));
    }
    if (path[1] == ':')
        return UnicodeString(path.substr(0, 1)) + u":\\";
    return UnicodeString(path);
}

bool IsValidIdentW(std::u16string_view text, bool dotsAllowed)
{
    if (text.empty() || !IsIdentStart(text[0]))
        return false;
    for (const char16_t c : text.substr(1)) {
        if (!IsIdentStart(c) && !(c >= '0' && c <= '9') && !(dotsAllowed && c == '.'))
            return false;
    }
    return true;
}
