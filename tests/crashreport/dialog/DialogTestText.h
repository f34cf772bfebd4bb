#pragma once
// Building section texts for the view tests: lines joined by CR LF, as reports hold them.
#include <initializer_list>
#include <string>
#include <string_view>

#include "text/ZelTypes.h"

inline UnicodeString Lines(std::initializer_list<std::u16string_view> lines)
{
    UnicodeString text;
    bool first = true;
    for (const std::u16string_view line : lines) {
        if (!first)
            text += u"\r\n";
        text += line;
        first = false;
    }
    return text;
}

inline std::string Narrow(const UnicodeString& text)
{
    return std::string(text.begin(), text.end());
}
