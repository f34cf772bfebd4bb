#pragma once
// Saves what the screen shows of a window as artifacts/<name>.png, written by the library's
// own bitmap object: quicker than a full-colour picture, and the views' tints stay apart.
#include <windows.h>

#include <string>

#include "NVBitmap.h"

inline bool SaveViewPicture(HWND window, const std::string& name)
{
    // The window's thread paints before the copy is taken.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &result);
    RECT rect{};
    GetWindowRect(window, &rect);
    const TIntfPtr<INVBitmap> picture = CreateNVBitmap(rect.right - rect.left, rect.bottom - rect.top);
    if (!picture)
        return false;
    const HDC screen = GetDC(nullptr);
    const bool copied = BitBlt(AsNVBitmap(picture.Get())->Dc(), 0, 0, picture->GetWidth(), picture->GetHeight(), screen,
                               rect.left, rect.top, SRCCOPY) != FALSE;
    ReleaseDC(nullptr, screen);
    CreateDirectoryW(L"artifacts", nullptr);
    return copied && picture->SavePng(L"artifacts\\" + std::wstring(name.begin(), name.end()) + L".png", 8);
}
