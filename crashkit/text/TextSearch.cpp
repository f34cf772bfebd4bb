#include "text/TextSearch.h"

#include <algorithm>

#include "text/CaseFolding.h"

namespace {

struct TExact {
    template <typename Char>
    bool operator()(Char a, Char b) const { return a == b; }
};

struct TFolded {
    bool operator()(char a, char b) const { return FoldCharA(a) == FoldCharA(b); }
    bool operator()(char16_t a, char16_t b) const { return FoldCharW(a) == FoldCharW(b); }
};

template <typename Char, typename Same>
bool MatchesAt(std::basic_string_view<Char> sub, std::basic_string_view<Char> text, size_t at, Same same)
{
    for (size_t i = 0; i < sub.size(); ++i) {
        if (!same(sub[i], text[at + i]))
            return false;
    }
    return true;
}

template <typename Char, typename Same>
int Find(std::basic_string_view<Char> sub, std::basic_string_view<Char> text, int first, int last, Same same)
{
    if (sub.empty() || text.empty() || sub.size() > text.size() || first <= 0 || last <= 0)
        return 0;
    // The last place a match can start: one that ends at the text's last character.
    const int lastStart = static_cast<int>(text.size() - sub.size()) + 1;
    if (first <= last) {
        for (int position = first; position <= std::min(last, lastStart); ++position) {
            if (MatchesAt(sub, text, static_cast<size_t>(position - 1), same))
                return position;
        }
    } else {
        for (int position = std::min(first, lastStart); position >= last; --position) {
            if (MatchesAt(sub, text, static_cast<size_t>(position - 1), same))
                return position;
        }
    }
    return 0;
}

template <typename Char>
int PosBySet(const TCharSet& set, std::basic_string_view<Char> text, int first, int last, bool wanted)
{
    if (first <= 0 || last <= 0)
        return 0;
    const int length = static_cast<int>(text.size());
    if (first <= last) {
        for (int position = first; position <= std::min(last, length); ++position) {
            if (set.Contains(text[position - 1]) == wanted)
                return position;
        }
    } else {
        for (int position = std::min(first, length); position >= last; --position) {
            if (set.Contains(text[position - 1]) == wanted)
                return position;
        }
    }
    return 0;
}

template <typename Char>
int WholeLength(std::basic_string_view<Char> text)
{
    return static_cast<int>(std::min<size_t>(text.size(), INT32_MAX));
}

} // namespace

int FindStrA(std::string_view sub, std::string_view text, int first, int last)
{
    return Find(sub, text, first, last, TExact{});
}

int FindTextA(std::string_view sub, std::string_view text, int first, int last)
{
    return Find(sub, text, first, last, TFolded{});
}

int FindStrW(std::u16string_view sub, std::u16string_view text, int first, int last)
{
    return Find(sub, text, first, last, TExact{});
}

int FindTextW(std::u16string_view sub, std::u16string_view text, int first, int last)
{
    return Find(sub, text, first, last, TFolded{});
}

bool ContainsStrA(std::string_view sub, std::string_view text)
{
    return sub.empty() || FindStrA(sub, text, 1, WholeLength(text)) != 0;
}

bool ContainsStrW(std::u16string_view sub, std::u16string_view text)
{
    return sub.empty() || FindStrW(sub, text, 1, WholeLength(text)) != 0;
}

bool ContainsTextW(std::u16string_view sub, std::u16string_view text)
{
    return sub.empty() || FindTextW(sub, text, 1, WholeLength(text)) != 0;
}

int PosInSetA(const TCharSet& set, std::string_view text, int first, int last)
{
    return PosBySet(set, text, first, last, true);
}

int PosInSetW(const TCharSet& set, std::u16string_view text, int first, int last)
{
    return PosBySet(set, text, first, last, true);
}

int PosNotInSetW(const TCharSet& set, std::u16string_view text, int first, int last)
{
    return PosBySet(set, text, first, last, false);
}

size_t StrLenA(const char* text)
{
    return text ? std::char_traits<char>::length(text) : 0;
}

size_t StrLenW(const char16_t* text)
{
    return text ? std::char_traits<char16_t>::length(text) : 0;
}
