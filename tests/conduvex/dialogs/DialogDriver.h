#pragma once
// Drives a modal dialog of this process from a second thread, as a user would: waits for
// the dialog to appear on the thread that runs it, sets fields, clicks buttons, presses
// keys, and saves a picture of it (PNG under artifacts/ next to the test program).
#include <windows.h>
#include <commctrl.h>
#include <zlib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace dialog_driver {

inline std::wstring WindowText(HWND window)
{
    wchar_t text[512] = {};
    const int length = GetWindowTextW(window, text, 512);
    return std::wstring(text, static_cast<size_t>(length > 0 ? length : 0));
}

inline std::wstring ItemText(HWND dialog, int id)
{
    return WindowText(GetDlgItem(dialog, id));
}

inline BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM result)
{
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (std::wstring(className) != L"#32770" || !IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(result) = window;
    return FALSE;
}

// The first visible dialog window of that thread; nil when none shows within the time.
inline HWND WaitForDialog(DWORD threadId, DWORD timeoutMs = 10000)
{
    const DWORD start = GetTickCount();
    for (;;) {
        HWND found = nullptr;
        EnumThreadWindows(threadId, &FindVisibleDialog, reinterpret_cast<LPARAM>(&found));
        if (found)
            return found;
        if (GetTickCount() - start > timeoutMs)
            return nullptr;
        Sleep(20);
    }
}

// Typing into an edit (or a drop-down's edit): the control announces the change.
inline void TypeInto(HWND dialog, int id, const std::wstring& text)
{
    HWND control = GetDlgItem(dialog, id);
    if (HWND edit = FindWindowExW(control, nullptr, L"Edit", nullptr))
        control = edit;
    SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// Choosing a list item; false when there is no such item.
inline bool ChooseItem(HWND dialog, int id, int index)
{
    const HWND list = GetDlgItem(dialog, id);
    if (SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0) != index)
        return false;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    return true;
}

// The texts of a list's items, in their order.
inline std::vector<std::wstring> ListItems(HWND dialog, int id)
{
    const HWND list = GetDlgItem(dialog, id);
    std::vector<std::wstring> items;
    const int count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        std::wstring text(static_cast<size_t>(SendMessageW(list, CB_GETLBTEXTLEN, index, 0)), L'\0');
        SendMessageW(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
        items.push_back(text);
    }
    return items;
}

// The index of the item whose data has that low word; -1 when none.
inline int ItemWithData(HWND dialog, int id, uint32_t lowWord)
{
    const HWND list = GetDlgItem(dialog, id);
    const int count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        if ((SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(index), 0) & 0xFFFF) == lowWord)
            return index;
    }
    return -1;
}

inline void Click(HWND dialog, int id)
{
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

inline void ChoosePage(HWND dialog, int tabId, int page)
{
    const HWND tabs = GetDlgItem(dialog, tabId);
    SendMessageW(tabs, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
    NMHDR header{tabs, static_cast<UINT_PTR>(tabId), static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(dialog, WM_NOTIFY, static_cast<WPARAM>(tabId), reinterpret_cast<LPARAM>(&header));
}

// A key pressed on the focused control, through the dialog's own message loop.
inline void PressKey(DWORD threadId, WPARAM key)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(threadId, &info);
    PostMessageW(info.hwndFocus, WM_KEYDOWN, key, 1);
    PostMessageW(info.hwndFocus, WM_KEYUP, key, 0xC0000001);
}

inline bool WaitUntilGone(HWND dialog, DWORD timeoutMs = 5000)
{
    const DWORD start = GetTickCount();
    while (IsWindow(dialog)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

inline void PutChunk(std::string& png, const char* type, const std::string& data)
{
    const auto size = static_cast<uint32_t>(data.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        png += static_cast<char>((size >> shift) & 0xFF);
    std::string body = std::string(type, 4) + data;
    png += body;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    for (int shift = 24; shift >= 0; shift -= 8)
        png += static_cast<char>((crc >> shift) & 0xFF);
}

inline std::string BigEndian32(uint32_t value)
{
    std::string bytes;
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes += static_cast<char>((value >> shift) & 0xFF);
    return bytes;
}

// Rows of 24-bit RGB pixels as a PNG file.
inline std::string PngOf(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgbRows)
{
    std::string png("\x89PNG\r\n\x1a\n", 8);
    PutChunk(png, "IHDR", BigEndian32(width) + BigEndian32(height) + std::string("\x08\x02\x00\x00\x00", 5));
    std::string raw;
    for (uint32_t row = 0; row < height; ++row) {
        raw += '\0';
        raw.append(reinterpret_cast<const char*>(&rgbRows[row * width * 3]), width * 3);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
              reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()), 9);
    packed.resize(packedSize);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", "");
    return png;
}

// Saves what the screen shows of the window to <folder>/<name>.png; false on failure.
inline bool SaveScreenshot(HWND window, const std::string& name, const std::string& folder = "artifacts")
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(300);
    RECT rect{};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != FALSE;
    GdiFlush();
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    for (int row = 0; row < height; ++row) {
        const auto* source = static_cast<const uint8_t*>(bits) + row * stride;
        for (int column = 0; column < width; ++column) {
            uint8_t* target = &rgb[(static_cast<size_t>(row) * width + column) * 3];
            target[0] = source[column * 3 + 2];
            target[1] = source[column * 3 + 1];
            target[2] = source[column * 3];
        }
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied)
        return false;
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string png = PngOf(static_cast<uint32_t>(width), static_cast<uint32_t>(height), rgb);
    const HANDLE file = CreateFileA((folder + "\\" + name + ".png").c_str(), GENERIC_WRITE, 0,
                                    nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool saved = WriteFile(file, png.data(), static_cast<DWORD>(png.size()), &written, nullptr) &&
                       written == png.size();
    CloseHandle(file);
    return saved;
}

// Runs the steps on a thread of its own against the dialog the calling thread is about to
// show. When no dialog shows, the steps are not run; a dialog the steps leave open is
// cancelled, so that the calling thread never hangs.
class TDialogDriver {
public:
    explicit TDialogDriver(std::function<void(HWND dialog, DWORD threadId)> steps)
        : threadId_(GetCurrentThreadId()), thread_([this, steps = std::move(steps)] { Run(steps); })
    {
    }
    ~TDialogDriver() { Join(); }
    TDialogDriver(const TDialogDriver&) = delete;
    TDialogDriver& operator=(const TDialogDriver&) = delete;

    void Join()
    {
        if (thread_.joinable())
            thread_.join();
    }
    bool Found() const { return found_; }
    // True when the steps closed the dialog themselves.
    bool ClosedBySteps() const { return closedBySteps_; }

private:
    void Run(const std::function<void(HWND, DWORD)>& steps)
    {
        try {
            const HWND dialog = WaitForDialog(threadId_);
            found_ = dialog != nullptr;
            if (!dialog)
                return;
            steps(dialog, threadId_);
            closedBySteps_ = WaitUntilGone(dialog);
            if (!closedBySteps_)
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        } catch (...) {
        }
    }

    DWORD threadId_;
    bool found_ = false;
    bool closedBySteps_ = false;
    std::thread thread_;
};

} // namespace dialog_driver
