#pragma once
// What the parts of the exception box share: its timers, sizes, link and module.
#include <windows.h>

#include "text/ZelTypes.h"

namespace box_look {

constexpr UINT_PTR kCountdownTimer = 777;
constexpr UINT_PTR kFadeTimer = 778;
constexpr UINT kTickMs = 10;
constexpr int kFadeSteps = 8;
constexpr DWORD kPressFadePauseMs = 200;
constexpr int kFirstButtonId = 100;
constexpr WPARAM kCloseRequest = 777;
constexpr UINT kDetailsAction = 9;
constexpr UINT kHelpAction = 10;

constexpr int kMargin = 10;
constexpr int kButtonGap = 4;
constexpr int kOwnerDrawnHeight = 22;
constexpr int kPlainHeight = 26;
constexpr int kSimpleHeight = 23;
constexpr int kMinButtonWidth = 110;
constexpr int kPictureGap = 6;
constexpr int kTextWidth = 300;
constexpr int kReportHeight = 260;
constexpr int kReportMinWidth = 640;

constexpr wchar_t kLinkText[] = L"About these reports";
constexpr wchar_t kLinkAddress[] = L"https://www.conduvex.example/crash-reports";

// The image that holds the box's code, pictures and window class.
inline HINSTANCE Module()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&Module), &module);
    return module;
}

inline const wchar_t* Wide(const UnicodeString& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// A window's (or, for window 0, the screen's) device context, released with its owner.
class TWindowDC {
public:
    explicit TWindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~TWindowDC()
    {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    TWindowDC(const TWindowDC&) = delete;
    TWindowDC& operator=(const TWindowDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// The painting of a window's invalid part, ended with its owner.
class TPaintDC {
public:
    explicit TPaintDC(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~TPaintDC() { EndPaint(window_, &paint_); }
    TPaintDC(const TPaintDC&) = delete;
    TPaintDC& operator=(const TPaintDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

} // namespace box_look
