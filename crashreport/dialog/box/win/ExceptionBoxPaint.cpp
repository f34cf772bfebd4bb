// The exception box drawn: its picture and link, the owner-drawn buttons with their
// pictures, highlight fades, press animation and countdown bar.
#include "dialog/box/win/ExceptionBox.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "dialog/box/BoxPicture.h"
#include "dialog/box/win/BoxLook.h"

using namespace box_look;

namespace {

COLORREF Mix(COLORREF from, COLORREF to, int step, int steps)
{
    const auto channel = [&](int shift) {
        const int a = (from >> shift) & 0xFF;
        const int b = (to >> shift) & 0xFF;
        return static_cast<COLORREF>(a + (b - a) * step / steps) << shift;
    };
    return channel(0) | channel(8) | channel(16);
}

void Fill(HDC dc, const RECT& rect, COLORREF colour)
{
    const TBrush brush(CreateSolidBrush(colour));
    FillRect(dc, &rect, brush.Get());
}

// A picture resource "ZEI" + name blended onto the background and drawn at the point.
void DrawPicture(HDC dc, std::string_view name, int size, POINT at, COLORREF background)
{
    std::wstring resourceName = L"ZEI";
    resourceName.append(name.begin(), name.end());
    const HRSRC resource = FindResourceW(Module(), resourceName.c_str(), MAKEINTRESOURCEW(2));
    const HGLOBAL loaded = resource ? LoadResource(Module(), resource) : nullptr;
    const auto* bytes = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
    if (!bytes)
        return;
    const uint32_t rgb = GetRValue(background) << 16 | GetGValue(background) << 8 | GetBValue(background);
    const auto picture = BlendPicture({bytes, SizeofResource(Module(), resource)}, size, rgb);
    if (!picture)
        return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = picture->topDown ? -size : size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, at.x, at.y, static_cast<DWORD>(size), static_cast<DWORD>(size), 0, 0, 0,
                      static_cast<UINT>(size), picture->pixels.data(), &info, DIB_RGB_COLORS);
}

} // namespace

void TExceptionBox::OnFadeTick()
{
    bool moving = false;
    for (TButton& button : buttons_) {
        if (!button.window || button.highlight == button.highlightGoal)
            continue;
        button.highlight += button.highlight < button.highlightGoal ? 1 : -1;
        moving = true;
        InvalidateRect(button.window, nullptr, FALSE);
    }
    if (!moving)
        KillTimer(window_, kFadeTimer);
}

void TExceptionBox::AnimatePress(TButton& button)
{
    const TWindowDC screen(nullptr);
    const int depth = GetDeviceCaps(screen.Get(), BITSPIXEL) * GetDeviceCaps(screen.Get(), PLANES);
    const auto show = [&](int pressed) {
        button.pressed = pressed;
        RedrawWindow(button.window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    };
    if (depth < 15) {
        show(kFadeSteps);
        show(0);
    } else {
        for (int step = 1; step <= kFadeSteps; ++step) {
            show(step);
            Sleep(kTickMs);
        }
        Sleep(kTickMs);
        for (int step = kFadeSteps - 1; step >= 0; --step) {
            show(step);
            Sleep(kTickMs);
        }
    }
    lastFadeEnd_ = GetTickCount();
}

void TExceptionBox::Paint()
{
    const TPaintDC painting(window_);
    const HDC dc = painting.Get();
    DrawPicture(dc, "big", kBigPictureSize, {kMargin, kMargin}, GetSysColor(COLOR_BTNFACE));
    {
        const TSelection font(dc, linkFont_.Get());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(overLink_ ? COLOR_HOTLIGHT : COLOR_GRAYTEXT));
        RECT link = linkRect_;
        DrawTextW(dc, kLinkText, -1, &link, DT_SINGLELINE | DT_NOPREFIX);
    }
}

void TExceptionBox::DrawButton(const DRAWITEMSTRUCT& item)
{
    TButton* button = ButtonOf(item.hwndItem);
    if (!button)
        return;
    const HDC dc = item.hDC;
    const RECT& rect = item.rcItem;
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    COLORREF colour = Mix(face, GetSysColor(COLOR_WINDOW), button->highlight, kFadeSteps);
    const int pressed = item.itemState & ODS_SELECTED ? kFadeSteps : button->pressed;
    colour = Mix(colour, GetSysColor(COLOR_BTNSHADOW), pressed, 2 * kFadeSteps);
    Fill(dc, rect, colour);
    if (button == countdownButton_ && countdownStart_ && countdownPosition_ > 0) {
        const RECT bar{rect.left, rect.top, rect.left + std::min<int>(countdownPosition_, rect.right - rect.left),
                       rect.bottom};
        Fill(dc, bar, Mix(colour, GetSysColor(COLOR_HIGHLIGHT), 1, 3));
    }
    const TBrush frame(CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW)));
    FrameRect(dc, &rect, frame.Get());
    const int pictureTop = (rect.top + rect.bottom - kButtonPictureSize) / 2;
    DrawPicture(dc, PictureName(button->id, canContinue_), kButtonPictureSize, {rect.left + 4, pictureTop}, colour);
    RECT text = rect;
    text.left += 4 + kButtonPictureSize + kPictureGap;
    const TSelection font(dc, dialogFont_.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, Wide(captions_[static_cast<size_t>(button->id)]), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    if (item.itemState & ODS_FOCUS) {
        RECT focus = rect;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(dc, &focus);
    }
}

void TExceptionBox::DrawPlainCountdown(TButton& button)
{
    if (&button != countdownButton_ || !countdownStart_ || countdownPosition_ <= 5)
        return;
    RECT client{};
    GetClientRect(button.window, &client);
    const TWindowDC dc(button.window);
    Fill(dc.Get(), {5, client.bottom - 7, std::min<int>(countdownPosition_, client.right - 5), client.bottom - 5},
         GetSysColor(COLOR_HIGHLIGHT));
}

LRESULT CALLBACK TExceptionBox::ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR box)
{
    try {
        auto* self = reinterpret_cast<TExceptionBox*>(box);
        if (TButton* button = self->ButtonOf(window))
            return self->HandleButtonMessage(*button, message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind into the system's frames.
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT TExceptionBox::HandleButtonMessage(TButton& button, UINT message, WPARAM wParam, LPARAM lParam)
{
    const HWND window = button.window;
    switch (message) {
    case WM_MOUSEMOVE:
        if (!button.hot) {
            button.hot = true;
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window, 0};
            TrackMouseEvent(&track);
            FadeTo(button, kFadeSteps);
        }
        break;
    case WM_MOUSELEAVE:
        button.hot = false;
        FadeTo(button, 0);
        break;
    case WM_PAINT: {
        const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        if (plainButtons_)
            DrawPlainCountdown(button);
        return result;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, &TExceptionBox::ButtonProc, 0);
        button.window = nullptr;
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

void TExceptionBox::FadeTo(TButton& button, int goal)
{
    button.highlightGoal = goal;
    SetTimer(window_, kFadeTimer, kTickMs, nullptr);
}
