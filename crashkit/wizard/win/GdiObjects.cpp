#include "wizard/win/GdiObjects.h"

#include <string>

TFont MakeFont(std::wstring_view face, int height, bool bold)
{
    const std::wstring faceName(face);
    const auto create = [&](const wchar_t* name) {
        return CreateFontW(-height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, name);
    };
    HFONT font = create(faceName.c_str());
    return TFont(font ? font : create(L"MS Sans Serif"));
}

SIZE MeasureText(HDC dc, HFONT font, std::wstring_view text, int wrapWidth)
{
    const TSelection selection(dc, font);
    RECT rect{0, 0, wrapWidth > 0 ? wrapWidth : 0, 0};
    const std::wstring measured = text.empty() ? std::wstring(L" ") : std::wstring(text);
    UINT format = DT_CALCRECT | DT_NOPREFIX;
    if (wrapWidth > 0)
        format |= DT_WORDBREAK;
    DrawTextW(dc, measured.c_str(), static_cast<int>(measured.size()), &rect, format);
    return {text.empty() ? 0 : rect.right - rect.left, rect.bottom - rect.top};
}

std::wstring WideOf(std::u16string_view text)
{
    return std::wstring(text.begin(), text.end());
}
