#include "ScreenCapture.h"

#include <algorithm>
#include <vector>

#include "NVBitmap.h"
#include "ScreenCursor.h"

namespace {

class TRegion {
public:
    explicit TRegion(HRGN region = nullptr) : region_(region) {}
    ~TRegion()
    {
        if (region_)
            DeleteObject(region_);
    }
    TRegion(const TRegion&) = delete;
    TRegion& operator=(const TRegion&) = delete;
    HRGN Get() const { return region_; }

private:
    HRGN region_;
};

class TDisplayDc {
public:
    TDisplayDc() : dc_(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr)) {}
    ~TDisplayDc()
    {
        if (dc_)
            DeleteDC(dc_);
    }
    TDisplayDc(const TDisplayDc&) = delete;
    TDisplayDc& operator=(const TDisplayDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

bool IsShownWindow(HWND window)
{
    return IsWindowVisible(window) && !IsIconic(window);
}

bool IsOwnShownWindow(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId() && IsShownWindow(window);
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list)
{
    try {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
    } catch (...) {
        return FALSE; // no exception may cross the system's frames
    }
}

// Top-level windows, topmost first.
std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

RECT Moved(RECT rect, int dx, int dy)
{
    OffsetRect(&rect, dx, dy);
    return rect;
}

// The area of this process's visible windows, clipped to the screen, and the region of their
// visible parts relative to that area. False when there is none.
bool OwnWindowsArea(int x, int y, int width, int height, RECT& area, TRegion& visible)
{
    const std::vector<HWND> windows = TopLevelWindows();
    RECT bounds = {0x7FFFFFFF, 0x7FFFFFFF, -0x7FFFFFFF - 1, -0x7FFFFFFF - 1};
    bool any = false;
    for (HWND window : windows) {
        RECT rect{};
        if (!IsOwnShownWindow(window) || !GetWindowRect(window, &rect))
            continue;
        rect = Moved(rect, -x, -y);
        bounds = {std::min(bounds.left, rect.left), std::min(bounds.top, rect.top), std::max(bounds.right, rect.right),
                  std::max(bounds.bottom, rect.bottom)};
        any = true;
    }
    const RECT screen = {0, 0, width, height};
    if (!any || !IntersectRect(&area, &bounds, &screen))
        return false;
    for (size_t i = 0; i < windows.size(); ++i) {
        RECT rect{};
        if (!IsOwnShownWindow(windows[i]) || !GetWindowRect(windows[i], &rect))
            continue;
        rect = Moved(rect, -x - area.left, -y - area.top);
        const TRegion part(CreateRectRgnIndirect(&rect));
        for (size_t above = 0; above < i; ++above) {
            RECT cover{};
            if (!IsShownWindow(windows[above]) || !GetWindowRect(windows[above], &cover))
                continue;
            cover = Moved(cover, -x - area.left, -y - area.top);
            const TRegion covered(CreateRectRgnIndirect(&cover));
            CombineRgn(part.Get(), part.Get(), covered.Get(), RGN_DIFF);
        }
        CombineRgn(visible.Get(), visible.Get(), part.Get(), RGN_OR);
    }
    RECT box{};
    return GetRgnBox(visible.Get(), &box) != NULLREGION;
}

TIntfPtr<INVBitmap> CopyArea(HDC source, int x, int y, bool appOnly, bool drawCursor, int height, int width)
{
    TRegion visible(appOnly ? CreateRectRgn(0, 0, 0, 0) : nullptr);
    if (appOnly) {
        RECT area{};
        if (!visible.Get() || !OwnWindowsArea(x, y, width, height, area, visible))
            return nullptr;
        x += area.left;
        y += area.top;
        width = area.right - area.left;
        height = area.bottom - area.top;
    }
    TIntfPtr<INVBitmap> bitmap = CreateNVBitmap(width, height);
    if (!bitmap)
        return nullptr;
    HDC target = AsNVBitmap(bitmap.Get())->Dc();
    if (visible.Get()) {
        const RECT all = {0, 0, width, height};
        FillRect(target, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SelectClipRgn(target, visible.Get());
    }
    const bool copied = BitBlt(target, 0, 0, width, height, source, x, y, SRCCOPY);
    SelectClipRgn(target, nullptr);
    if (!copied)
        return nullptr;
    if (drawCursor) {
        if (const std::optional<TScreenCursor> cursor = ShowingCursor(BoundGetCursorInfo()))
            DrawScreenCursor(target, POINT{x, y}, *cursor);
    }
    return bitmap;
}

} // namespace

TIntfPtr<INVBitmap> CaptureScreen(bool appOnly)
{
    const TDisplayDc display;
    if (!display.Get())
        return nullptr;
    if (GetSystemMetrics(SM_CMONITORS) >= 1)
        return CopyArea(display.Get(), GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), appOnly,
                        true, GetSystemMetrics(SM_CYVIRTUALSCREEN), GetSystemMetrics(SM_CXVIRTUALSCREEN));
    return CopyArea(display.Get(), 0, 0, appOnly, true, GetDeviceCaps(display.Get(), VERTRES),
                    GetDeviceCaps(display.Get(), HORZRES));
}

TIntfPtr<INVBitmap> LoadBitmapFile(const std::wstring& fileName)
{
    HBITMAP loaded = static_cast<HBITMAP>(
        LoadImageW(nullptr, fileName.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!loaded)
        return nullptr;
    TIntfPtr<INVBitmap> bitmap;
    BITMAP description{};
    HDC source = CreateCompatibleDC(nullptr);
    if (source && GetObjectW(loaded, sizeof description, &description)) {
        HGDIOBJ previous = SelectObject(source, loaded);
        bitmap = CopyArea(source, 0, 0, false, false, std::abs(description.bmHeight), description.bmWidth);
        SelectObject(source, previous);
    }
    if (source)
        DeleteDC(source);
    DeleteObject(loaded);
    return bitmap;
}
