#include "text/Unmangler.h"

#include <string_view>

#include "text/TextEdit.h"

namespace {

template <typename Char>
using TText = std::basic_string<Char>;

void ScopesToDots(AnsiString& name)
{
    ReplaceStrA(name, "::", ".", false);
}

void ScopesToDots(UnicodeString& name)
{
    ReplaceStrW(name, u"::", u".", false);
}

// A "%" name (second character "%") keeps what follows its last "%@" as a tail.
template <typename Char>
TText<Char> TailOf(const TText<Char>& name)
{
    if (name.size() < 2 || name[1] != '%')
        return {};
    for (size_t at = name.size() - 1; at >= 3; --at) { // 0-based: "%" at 2 or later, "@" behind it
        if (name[at - 1] == '%' && name[at] == '@') {
            TText<Char> tail(1, '.');
            tail.append(name, at + 1);
            return tail;
        }
    }
    return {};
}

// Where the scan for separators starts, 0-based: behind "@", or behind "$...@" of a
// name that begins "@_$".
template <typename Char>
size_t ScanStart(const TText<Char>& name)
{
    if (name.size() > 6 && name[1] == '_' && name[2] == '$') {
        for (size_t at = 4; at + 1 < name.size(); ++at) {
            if (name[at] == '$' && name[at + 1] == '@')
                return at + 2;
        }
    }
    return 2;
}

template <typename Char>
bool Unmangle(TText<Char>& name, TText<Char>& unit)
{
    unit.clear();
    if (name.empty() || name[0] != '@')
        return false;
    ScopesToDots(name);

    const TText<Char> tail = TailOf(name);
    bool cut = false;
    bool destructor = false;
    for (size_t at = ScanStart(name); at < name.size(); ++at) {
        if (name[at] == '$') {
            destructor = at + 2 < name.size() && name[at + 2] == 'd';
            name = name.substr(0, at) + tail;
            cut = true;
            break;
        }
        if (name[at] == '@') {
            name[at] = '.';
            if (unit.empty())
                unit = name.substr(1, at - 1);
        }
    }
    if (!unit.empty()) {
        if (unit.size() + 2 < name.size()) {
            name.erase(0, unit.size() + 2);
            cut = false;
        } else {
            unit.clear();
        }
    }
    if (cut)
        name.erase(0, 1);
    if (!name.empty() && name[0] == '%')
        name.erase(0, 1);
    else if (!name.empty() && name[0] == '.')
        name[0] = '@';
    if (!name.empty() && name.back() == '.') {
        constexpr Char kDestroy[] = {'D', 'e', 's', 't', 'r', 'o', 'y', 0};
        constexpr Char kCreate[] = {'C', 'r', 'e', 'a', 't', 'e', 0};
        name += destructor ? kDestroy : kCreate;
    }
    return true;
}

} // namespace

bool UnmangleNameA(AnsiString& name, AnsiString& unit)
{
    if (!Unmangle(name, unit))
        return false;
    TrimA(name);
    if (!name.empty() && name.back() == '.')
        name += '?';
    return true;
}

bool UnmangleNameW(UnicodeString& name, UnicodeString& unit)
{
    if (!Unmangle(name, unit))
        return false;
    TrimW(name);
    if (!name.empty() && name.back() == '.')
        name += u'?';
    return true;
}
