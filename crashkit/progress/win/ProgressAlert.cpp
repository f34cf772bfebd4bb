#include "ProgressAlert.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "win32/CurrentExceptionReport.h"

namespace {

constexpr wchar_t kClassName[] = L"prgrAlertWndClass";
constexpr wchar_t kIconProperty[] = L"zelProgressIcon";
constexpr wchar_t kAlertProperty[] = L"zelProgressAlert";
// Posted by other threads: the window's own thread shows the current title and area text, so
// no thread waits for a window whose thread may be waiting for it.
constexpr UINT kRefreshTexts = WM_APP + 1;
constexpr int kSlots = 8;
constexpr int kIconSide = 32;
constexpr DWORD kIconResourceSize = 40 + 4 * kIconSide * kIconSide;
constexpr int kMargin = 11;
constexpr int kIconTextLeft = 51;
constexpr int kTextTop = 12;
constexpr int kIconHeight = 26;
constexpr int kMaxTextWidth = 420;
constexpr int kMinTextWidth = 220;
constexpr int kBarHeight = 16;
constexpr int kEdgeGap = 2;

class TLock {
public:
    explicit TLock(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
    ~TLock() { LeaveCriticalSection(&section_); }
    TLock(const TLock&) = delete;
    TLock& operator=(const TLock&) = delete;

private:
    CRITICAL_SECTION& section_;
};

std::wstring Wide(const UnicodeString& text)
{
    return std::wstring(text.begin(), text.end());
}

UnicodeString Utf16(const std::wstring& text)
{
    return UnicodeString(text.begin(), text.end());
}

// The icon resource blended over the button face: 40-byte header and 32 x 32 pixels with alpha.
HBITMAP LoadBlendedIcon(HMODULE module, const std::wstring& name)
{
    HRSRC resource = module && !name.empty() ? FindResourceW(module, name.c_str(), MAKEINTRESOURCEW(2)) : nullptr;
    if (!resource || SizeofResource(module, resource) != kIconResourceSize)
        return nullptr;
    HGLOBAL loaded = LoadResource(module, resource);
    const auto* data = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    if (!data)
        return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kIconSide;
    info.bmiHeader.biHeight = kIconSide;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits)
        return bitmap;
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const uint32_t faceChannels[3] = {GetBValue(face), GetGValue(face), GetRValue(face)};
    const uint8_t* pixels = data + 40;
    auto* target = static_cast<uint8_t*>(bits);
    for (int i = 0; i < kIconSide * kIconSide; ++i) {
        const uint32_t alpha = pixels[i * 4 + 3] + 1u;
        for (int channel = 0; channel < 3; ++channel)
            target[i * 4 + channel] = static_cast<uint8_t>(((256 - alpha) * faceChannels[channel] +
                                                            alpha * pixels[i * 4 + channel]) >> 8);
        target[i * 4 + 3] = 0;
    }
    return bitmap;
}

void DrawIcon(const DRAWITEMSTRUCT& item)
{
    const auto bitmap = static_cast<HBITMAP>(GetPropW(item.hwndItem, kIconProperty));
    HDC source = bitmap ? CreateCompatibleDC(item.hDC) : nullptr;
    if (!source)
        return;
    HGDIOBJ previous = SelectObject(source, bitmap);
    BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, kIconSide, kIconSide, source, 0, 0, SRCCOPY);
    SelectObject(source, previous);
    DeleteDC(source);
}

LRESULT CALLBACK AlertProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        const bool closing = message == WM_CLOSE || (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE);
        // Only Close may close it: the user's close box does nothing.
        if (closing && GetWindowLongPtrW(window, GWLP_USERDATA) == 0)
            return 0;
        if (message == kRefreshTexts) {
            if (auto* alert = static_cast<TIProgressAlert*>(GetPropW(window, kAlertProperty)))
                alert->RefreshTexts();
            return 0;
        }
        if (message == WM_DRAWITEM && lParam) {
            DrawIcon(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    } catch (...) {
        ReportCurrentException();
        return 0;
    }
}

bool RegisterAlertClass()
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), kClassName, &windowClass))
        return true;
    windowClass.style = CS_CLASSDC | CS_PARENTDC;
    windowClass.lpfnWndProc = AlertProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass) != 0;
}

HFONT CreateAlertFont()
{
    HFONT font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    return font ? font : CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                                     L"MS Sans Serif");
}

SIZE TextBox(HFONT font, const std::vector<UnicodeString>& texts)
{
    SIZE box = {kMinTextWidth, 0};
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return {kMinTextWidth, 13};
    HGDIOBJ previous = SelectObject(dc, font);
    for (const UnicodeString& text : texts) {
        const std::wstring wide = Wide(text);
        RECT rect = {0, 0, kMaxTextWidth, 0};
        DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &rect, DT_CALCRECT | DT_WORDBREAK);
        box.cx = std::max<LONG>(box.cx, rect.right);
        box.cy = std::max<LONG>(box.cy, rect.bottom);
    }
    SelectObject(dc, previous);
    DeleteDC(dc);
    return box;
}

} // namespace

TIProgressAlert::TIProgressAlert(const std::wstring& caption, HMODULE module, const std::wstring& bitmapName)
    : title_(caption), module_(module), bitmapName_(bitmapName)
{
    InitializeCriticalSection(&lock_);
}

TIProgressAlert::~TIProgressAlert()
{
    Close();
    if (font_)
        DeleteObject(font_);
    DeleteCriticalSection(&lock_);
}

void* TIProgressAlert::FindInterface(REFIID iid)
{
    if (IsEqualIID(iid, IID_IProgressAlert))
        return static_cast<IProgressAlert*>(this);
    return TMyInterfacedObject::FindInterface(iid);
}

bool TIProgressAlert::OnWindowThread() const
{
    return window_ && GetWindowThreadProcessId(window_, nullptr) == GetCurrentThreadId();
}

std::wstring TIProgressAlert::GetTitle()
{
    const TLock lock(lock_);
    return title_;
}

void TIProgressAlert::SetTitle(const std::wstring& title)
{
    HWND window = nullptr;
    {
        const TLock lock(lock_);
        if (title == title_)
            return;
        title_ = title;
        window = window_;
    }
    if (window)
        RefreshTexts();
}

int32_t TIProgressAlert::GetPosition()
{
    const TLock lock(lock_);
    return areas_.Position();
}

void TIProgressAlert::SetPosition(int32_t position)
{
    int32_t bar = 0;
    HWND target = nullptr;
    {
        const TLock lock(lock_);
        areas_.SetPosition(position);
        bar = areas_.BarValue();
        target = bar_;
    }
    if (!target)
        return;
    if (OnWindowThread()) {
        SendMessageW(target, PBM_SETPOS, static_cast<WPARAM>(bar), 0);
        ProcessMessages();
    } else {
        PostMessageW(target, PBM_SETPOS, static_cast<WPARAM>(bar), 0);
    }
}

void TIProgressAlert::AddArea(const std::wstring& text, uint64_t weight)
{
    bool first = false;
    {
        const TLock lock(lock_);
        areas_.Add(Utf16(text), weight);
        first = areas_.Count() == 1;
    }
    if (first)
        RefreshTexts();
}

void TIProgressAlert::ClearAreas()
{
    const TLock lock(lock_);
    areas_.Clear();
}

void TIProgressAlert::NextArea()
{
    SetArea(GetArea() + 1);
}

int32_t TIProgressAlert::GetArea()
{
    const TLock lock(lock_);
    return areas_.Current();
}

void TIProgressAlert::SetArea(int32_t index)
{
    int32_t position = 0;
    {
        const TLock lock(lock_);
        if (!areas_.SetArea(index))
            return;
        position = areas_.Position();
    }
    SetPosition(position);
    RefreshTexts();
}

void TIProgressAlert::RefreshTexts()
{
    if (!window_)
        return;
    if (!OnWindowThread()) {
        PostMessageW(window_, kRefreshTexts, 0, 0);
        return;
    }
    UnicodeString text;
    std::wstring title;
    bool hasArea = false;
    {
        const TLock lock(lock_);
        text = areas_.CurrentText();
        title = title_;
        hasArea = areas_.Count() != 0;
    }
    SetWindowTextW(window_, title.c_str());
    if (text_ && hasArea)
        SetWindowTextW(text_, Wide(text).c_str());
}

void TIProgressAlert::ProcessMessages()
{
    if (!OnWindowThread())
        return;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool TIProgressAlert::Show(HWND owner, bool centred)
{
    if (window_)
        return false;
    owner_ = owner;
    if (owner_)
        EnableWindow(owner_, FALSE);
    {
        const TLock lock(lock_);
        if (areas_.Count() == 0)
            areas_.Add(u"Please wait...", 1000);
    }
    if (!CreateWindows(centred)) {
        // A window that could not be made leaves its owner usable.
        Close();
        return false;
    }
    SetPosition(GetPosition());
    return true;
}

bool TIProgressAlert::CreateWindows(bool centred)
{
    const INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    if (!RegisterAlertClass())
        return false;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    window_ = CreateWindowExW(exStyle, kClassName, GetTitle().c_str(), WS_CAPTION | WS_SYSMENU, 0, 0, 0, 0, owner_,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window_)
        return false;
    SetPropW(window_, kAlertProperty, this);
    if (HMENU menu = GetSystemMenu(window_, FALSE)) {
        for (const UINT command : {SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE, SC_SIZE})
            RemoveMenu(menu, command, MF_BYCOMMAND);
    }
    if (!font_)
        font_ = CreateAlertFont();
    std::vector<UnicodeString> texts;
    UnicodeString current;
    {
        const TLock lock(lock_);
        texts = areas_.TextsFromCurrent();
        current = areas_.CurrentText();
    }
    const SIZE box = TextBox(font_, texts);
    const HBITMAP iconBitmap = LoadBlendedIcon(module_, bitmapName_);
    const int textLeft = iconBitmap ? kIconTextLeft : kMargin;
    int textTop = kTextTop;
    if (iconBitmap) {
        icon_ = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_DISABLED | BS_OWNERDRAW, 9, 9, kIconSide,
                                kIconSide, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (icon_)
            SetPropW(icon_, kIconProperty, iconBitmap);
        else
            DeleteObject(iconBitmap);
        textTop += std::max<LONG>(0, (kIconHeight - box.cy) / 2);
    }
    text_ = CreateWindowExW(0, L"STATIC", Wide(current).c_str(), WS_CHILD | WS_VISIBLE, textLeft, textTop, box.cx,
                            box.cy, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    const int barTop = std::max<int>(textTop + box.cy, iconBitmap ? 9 + kIconSide : 0) + 8;
    bar_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, textLeft, barTop, box.cx, kBarHeight,
                           window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!text_ || !bar_)
        return false;
    SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    SendMessageW(bar_, PBM_SETRANGE, 0, MAKELPARAM(0, TProgressAreas::kFull));
    RECT frame = {0, 0, textLeft + box.cx + kMargin, barTop + kBarHeight + 10};
    AdjustWindowRectEx(&frame, WS_CAPTION | WS_SYSMENU, FALSE, exStyle);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Place(centred);
    return true;
}

void TIProgressAlert::Place(bool centred)
{
    RECT rect{};
    GetWindowRect(window_, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (centred) {
        SetWindowPos(window_, HWND_TOPMOST, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                     (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE);
        ShowWindow(window_, SW_SHOWNORMAL);
        BringWindowToTop(window_);
        SetForegroundWindow(window_);
        return;
    }
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        work = {0, 0, GetSystemMetrics(SM_CXFULLSCREEN), GetSystemMetrics(SM_CYFULLSCREEN) + GetSystemMetrics(SM_CYCAPTION)};
    int slot = 0;
    for (int candidate = 0; candidate < kSlots; ++candidate) {
        const std::wstring name = L"zelProgressAlertPos" + std::to_wstring(candidate);
        HANDLE event = CreateEventW(nullptr, FALSE, FALSE, name.c_str());
        if (event && GetLastError() != ERROR_ALREADY_EXISTS) {
            slotEvent_ = event;
            slot = candidate;
            break;
        }
        // Another alert holds this place: our handle to its event must not keep it taken.
        if (event)
            CloseHandle(event);
    }
    SetWindowPos(window_, HWND_TOPMOST, work.right - kEdgeGap - width, work.bottom - kEdgeGap - height - slot * height,
                 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    ShowWindow(window_, SW_SHOWNOACTIVATE);
}

void TIProgressAlert::Close()
{
    if (icon_) {
        if (HANDLE bitmap = RemovePropW(icon_, kIconProperty))
            DeleteObject(bitmap);
        icon_ = nullptr;
    }
    if (window_) {
        RemovePropW(window_, kAlertProperty);
        if (OnWindowThread()) {
            DestroyWindow(window_);
        } else {
            SetWindowLongPtrW(window_, GWLP_USERDATA, 1);
            SendMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
    }
    {
        const TLock lock(lock_);
        window_ = text_ = bar_ = nullptr;
    }
    if (slotEvent_) {
        CloseHandle(slotEvent_);
        slotEvent_ = nullptr;
    }
    if (owner_) {
        EnableWindow(owner_, TRUE);
        SetForegroundWindow(owner_);
        owner_ = nullptr;
    }
}

TIntfPtr<IProgressAlert> NewProgressAlert(const std::wstring& caption, HMODULE module, const std::wstring& bitmapName)
{
    return MakeObject<TIProgressAlert>(caption, module, bitmapName);
}
