#include "text/TextEdit.h"

#include <algorithm>

#include "text/TextSearch.h"

namespace {

template <typename Char>
bool IsBlank(Char c)
{
    return static_cast<std::make_unsigned_t<Char>>(c) <= 32;
}

template <typename Char>
std::basic_string_view<Char> Trimmed(std::basic_string_view<Char> text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

template <typename Char>
std::basic_string<Char> Concat(std::initializer_list<std::basic_string_view<Char>> parts)
{
    size_t size = 0;
    for (const std::basic_string_view<Char> part : parts)
        size += part.size();
    std::basic_string<Char> text;
    text.reserve(size);
    for (const std::basic_string_view<Char> part : parts)
        text += part;
    return text;
}

template <typename Char, typename Finder>
bool Replace(std::basic_string<Char>& text, std::basic_string_view<Char> from, std::basic_string_view<Char> to,
             bool rescan, Finder find)
{
    if (from.empty())
        return false;
    if (rescan && find(from, to, 1, static_cast<int>(to.size())) != 0)
        rescan = false;
    bool replaced = false;
    int position = 1;
    // A start beyond the end would turn the search backwards: there is nothing left.
    while (position <= static_cast<int>(text.size())) {
        const int found = find(from, std::basic_string_view<Char>(text), position, static_cast<int>(text.size()));
        if (found == 0)
            return replaced;
        text.replace(static_cast<size_t>(found - 1), from.size(), to);
        replaced = true;
        position = rescan ? found + 1 : found + static_cast<int>(to.size());
    }
    return replaced;
}

// The part of [position, position + count) that lies in a text of that length, 0-based.
struct TRange {
    size_t begin;
    size_t length;
};

TRange Clamp(size_t size, int position, int count)
{
    if (position < 1 || count < 1 || static_cast<size_t>(position) > size)
        return {std::min<size_t>(size, position < 1 ? 0 : size), 0};
    const size_t begin = static_cast<size_t>(position - 1);
    return {begin, std::min<size_t>(static_cast<size_t>(count), size - begin)};
}

template <typename Char>
std::basic_string<Char> DeleteRange(std::basic_string_view<Char> text, int position, int count)
{
    const TRange range = Clamp(text.size(), position, count);
    std::basic_string<Char> out(text);
    out.erase(range.begin, range.length);
    return out;
}

template <typename Char>
void KeepRange(std::basic_string<Char>& text, int position, int count)
{
    const TRange range = Clamp(text.size(), position, count);
    text = text.substr(range.begin, range.length);
}

} // namespace

AnsiString ConcatA(std::initializer_list<std::string_view> parts)
{
    return Concat(parts);
}

UnicodeString ConcatW(std::initializer_list<std::u16string_view> parts)
{
    return Concat(parts);
}

void TrimA(AnsiString& text)
{
    text = AnsiString(Trimmed(std::string_view(text)));
}

AnsiString TrimA(std::string_view text)
{
    return AnsiString(Trimmed(text));
}

void TrimW(UnicodeString& text)
{
    text = UnicodeString(Trimmed(std::u16string_view(text)));
}

UnicodeString TrimW(std::u16string_view text)
{
    return UnicodeString(Trimmed(text));
}

bool DeleteCharW(UnicodeString& text, char16_t c)
{
    return std::erase(text, c) != 0;
}

bool DeleteCharSetW(UnicodeString& text, const TCharSet& set)
{
    return std::erase_if(text, [&set](char16_t c) { return set.Contains(c); }) != 0;
}

bool DeleteStrW(UnicodeString& text, std::u16string_view sub)
{
    return ReplaceStrW(text, sub, u"", false);
}

bool ReplaceStrA(AnsiString& text, std::string_view from, std::string_view to, bool rescan)
{
    return Replace(text, from, to, rescan, FindStrA);
}

bool ReplaceTextA(AnsiString& text, std::string_view from, std::string_view to, bool rescan)
{
    return Replace(text, from, to, rescan, FindTextA);
}

bool ReplaceStrW(UnicodeString& text, std::u16string_view from, std::u16string_view to, bool rescan)
{
    return Replace(text, from, to, rescan, FindStrW);
}

bool ReplaceTextW(UnicodeString& text, std::u16string_view from, std::u16string_view to, bool rescan)
{
    return Replace(text, from, to, rescan, FindTextW);
}

AnsiString DeleteRangeA(std::string_view text, int position, int count)
{
    return DeleteRange(text, position, count);
}

UnicodeString DeleteRangeW(std::u16string_view text, int position, int count)
{
    return DeleteRange(text, position, count);
}

void KeepRangeA(AnsiString& text, int position, int count)
{
    KeepRange(text, position, count);
}

void KeepRangeW(UnicodeString& text, int position, int count)
{
    KeepRange(text, position, count);
}

UnicodeString RightStrW(std::u16string_view text, int count)
{
    if (count <= 0)
        return {};
    const size_t kept = std::min<size_t>(static_cast<size_t>(count), text.size());
    return UnicodeString(text.substr(text.size() - kept));
}

void CollapseCharW(UnicodeString& text, char16_t c)
{
    UnicodeString out;
    for (const char16_t unit : text) {
        if (unit == c && (out.empty() || out.back() == c))
            continue;
        out += unit;
    }
    if (!out.empty() && out.back() == c)
        out.pop_back();
    text = std::move(out);
}
