// The report views shown for a sample report in a window of the test thread, worked from a
// second thread: every tab chosen by a click, a row selected, Ctrl+C copying the report,
// and the report refreshed while shown. Each tab leaves a picture under artifacts/.
#include "dialog/win/ReportViews.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "SampleReport.h"
#include "ViewPicture.h"
#include "dialog/ViewColours.h"

namespace {

constexpr UINT RefreshMessage = WM_APP + 1;
constexpr UINT FocusMessage = WM_APP + 2;

TReportViews* shownViews = nullptr;
// What the next refresh shows; set by the driving thread before it posts the refresh.
UnicodeString refreshText;

// The sample with the main thread's second frame repeated, so that its view scrolls.
UnicodeString LongReportText()
{
    UnicodeString text = SampleReportText(true);
    const UnicodeString frame = u"00401c10 +4a  Conduvex.dll ConduvexApi.cpp  88 +7  ciOpen\r\n";
    const size_t at = text.find(frame);
    for (int i = 0; i < 60; ++i)
        text.insert(at, frame);
    return text;
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == RefreshMessage && shownViews) {
        shownViews->SetReportText(refreshText);
        return 0;
    }
    if (message == FocusMessage) {
        SetForegroundWindow(window);
        SetFocus(reinterpret_cast<HWND>(lParam));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateHost()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &HostProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = L"ReportViewsTestHost";
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, L"ReportViewsTestHost", L"Report views", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 10, 10,
                           720, 460, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 5000)
{
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

void ClickAt(HWND window, POINT point)
{
    const LPARAM position = MAKELPARAM(point.x, point.y);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, position);
    PostMessageW(window, WM_LBUTTONUP, 0, position);
}

POINT Centre(const RECT& rect)
{
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

std::wstring TabCaption(HWND tabs, int index)
{
    wchar_t text[64] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 64;
    SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return text;
}

std::wstring CellText(HWND list, int row, int column)
{
    wchar_t text[256] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 256;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

int HeaderCount(HWND list)
{
    const auto header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    return static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
}

// The colour drawn just inside a cell's left edge halfway down, clear of the text and the frame.
COLORREF CellColour(HWND list, int row, int column)
{
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
    int left = rect.left;
    for (int i = 0; i < column; ++i)
        left += static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0));
    // The list paints itself into a bitmap of its own: what the screen shows at that moment
    // (a background erased again, another window on top) does not count.
    RECT client{};
    GetClientRect(list, &client);
    const HDC screen = GetDC(list);
    const HDC memory = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    ReleaseDC(list, screen);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    PrintWindow(list, memory, PW_CLIENTONLY);
    // Wine draws the row 2 pixels right of the bounds it reports; the text starts further in.
    const COLORREF colour = GetPixel(memory, left + 4, (rect.top + rect.bottom) / 2);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return colour;
}

std::wstring ClipboardText()
{
    std::wstring text;
    if (!OpenClipboard(nullptr))
        return text;
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void PutClipboardText(const std::wstring& text)
{
    if (!OpenClipboard(nullptr))
        return;
    EmptyClipboard();
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (auto* chars = static_cast<wchar_t*>(GlobalLock(memory))) {
        std::wmemcpy(chars, text.c_str(), text.size() + 1);
        GlobalUnlock(memory);
        SetClipboardData(CF_UNICODETEXT, memory);
    }
    CloseClipboard();
}

void PressCtrlC()
{
    INPUT keys[4] = {};
    const WORD codes[4] = {VK_CONTROL, 'C', 'C', VK_CONTROL};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = codes[i];
        keys[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
    }
    SendInput(4, keys, sizeof(INPUT));
}

struct TTabSeen {
    std::wstring caption;
    int columns = 0;
    bool header = false;
    int rows = 0;
    bool pictureSaved = false;
};

struct TDriveResult {
    std::vector<TTabSeen> tabs;
    std::vector<std::wstring> firstStackRow;
    std::vector<std::wstring> modulesRow;
    int selectedAfterClick = -1;
    COLORREF selectedColour = 0;
    COLORREF blueCell = 0;
    COLORREF redCell = 0;
    COLORREF headingCell = 0;
    std::wstring copied;
    int stackRowsBefore = 0;
    int stackRowsAfterRefresh = 0;
    int tabAfterRefresh = -1;
    int selectedAfterRefresh = -1;
    int scrolledTop = 0;
    int topAfterRefresh = 0;
};

// Lets the window's thread finish what was posted to it: a sent message is taken only when
// the thread is back in its message loop.
void Settle(HWND window)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &result);
}

// Clicks the tab and waits until its view is built.
void ChooseTab(HWND host, TReportViews& views, int index)
{
    const HWND tabs = views.TabControl();
    RECT rect{};
    SendMessageW(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect));
    ClickAt(tabs, Centre(rect));
    WaitFor([&] { return SendMessageW(tabs, TCM_GETCURSEL, 0, 0) == index && views.SelectedTab() == index; });
    Settle(host);
}

void DriveViews(HWND host, TReportViews& views, TDriveResult& result)
{
    const HWND tabs = views.TabControl();
    WaitFor([&] { return IsWindowVisible(host) != FALSE; });
    const int count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int index = count - 1; index >= 0; --index) {
        ChooseTab(host, views, index);
        const HWND list = views.ListView();
        TTabSeen seen;
        seen.caption = TabCaption(tabs, index);
        seen.columns = HeaderCount(list);
        seen.header = IsWindowVisible(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0))) != FALSE;
        seen.rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        std::string name = "ReportView-";
        for (const wchar_t c : seen.caption)
            name += c == L' ' ? '-' : static_cast<char>(c);
        seen.pictureSaved = SaveViewPicture(host, name);
        if (seen.caption == L"modules")
            for (int column = 0; column < seen.columns; ++column)
                result.modulesRow.push_back(CellText(list, 1, column));
        result.tabs.insert(result.tabs.begin(), seen);
    }

    // The call stacks: row 1 is the first stack line of the main thread.
    ChooseTab(host, views, 1);
    HWND list = views.ListView();
    for (int column = 0; column < HeaderCount(list); ++column)
        result.firstStackRow.push_back(CellText(list, 1, column));
    result.stackRowsBefore = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    RECT row{};
    row.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
    ClickAt(list, Centre(row));
    WaitFor([&] { return SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) == 1; });
    Settle(host);
    result.selectedAfterClick = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    RedrawWindow(list, nullptr, nullptr, RDW_UPDATENOW);
    Settle(host);
    // The list paints on the host's thread, after the messages Settle waits for: a loaded machine
    // can show the erased background for a while.
    WaitFor([&] { return CellColour(list, 1, 0) != RGB(255, 255, 255); }, 3000);
    result.selectedColour = CellColour(list, 1, 0);
    result.blueCell = CellColour(list, 2, 0);
    result.redCell = CellColour(list, 2, 2);
    result.headingCell = CellColour(list, 0, 2);
    SaveViewPicture(host, "ReportView-call-stacks-selected");

    // Ctrl+C in the list copies the report text.
    PutClipboardText(L"before");
    PostMessageW(host, FocusMessage, 0, reinterpret_cast<LPARAM>(list));
    WaitFor([&] { return GetForegroundWindow() == host; }, 2000);
    Settle(host);
    PressCtrlC();
    WaitFor([&] { return ClipboardText() != L"before"; }, 3000);
    result.copied = ClipboardText();

    // The report grows: the worker's stack replaces its placeholder; the tab stays.
    refreshText = SampleReportText(true);
    PostMessageW(host, RefreshMessage, 0, 0);
    WaitFor([&] { return views.ListView() != list; });
    Settle(host);
    list = views.ListView();
    result.stackRowsAfterRefresh = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    result.tabAfterRefresh = static_cast<int>(SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
    result.selectedAfterRefresh =
        static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    SaveViewPicture(host, "ReportView-call-stacks-refreshed");

    // A refresh keeps the row at the top of a scrolled view there.
    refreshText = LongReportText();
    PostMessageW(host, RefreshMessage, 0, 0);
    WaitFor([&] { return views.ListView() != list; });
    Settle(host);
    list = views.ListView();
    RECT row1{};
    row1.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row1));
    SendMessageW(list, LVM_SCROLL, 0, 30 * (row1.bottom - row1.top));
    result.scrolledTop = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    PostMessageW(host, RefreshMessage, 0, 0);
    WaitFor([&] { return views.ListView() != list; });
    Settle(host);
    result.topAfterRefresh = static_cast<int>(SendMessageW(views.ListView(), LVM_GETTOPINDEX, 0, 0));
    PostMessageW(host, WM_CLOSE, 0, 0);
}

HFONT MakeViewFont(const wchar_t* face, int height, DWORD pitch)
{
    return CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, pitch, face);
}

TEST(ReportViewsDisplayTest, TabsSelectionCopyAndRefresh)
{
    const HFONT dialogFont = MakeViewFont(L"Tahoma", 13, DEFAULT_PITCH | FF_SWISS);
    const HFONT fixedFont = MakeViewFont(L"Courier New", 13, FIXED_PITCH | FF_MODERN);
    const HWND host = CreateHost();
    ASSERT_NE(host, nullptr);
    TReportViews views;
    RECT client{};
    GetClientRect(host, &client);
    InflateRect(&client, -6, -6);
    ASSERT_TRUE(views.Create(host, client, dialogFont, fixedFont));
    const UnicodeString report = SampleReportText(false);
    views.SetReportText(report);
    shownViews = &views;
    ShowWindow(host, SW_SHOWNORMAL);
    UpdateWindow(host);

    TDriveResult result;
    std::thread driver([&] {
        try {
            DriveViews(host, views, result);
        } catch (...) {
        }
        PostMessageW(host, WM_CLOSE, 0, 0);
    });
    MSG message{};
    while (IsWindow(host) && GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    driver.join();
    shownViews = nullptr;
    DeleteObject(dialogFont);
    DeleteObject(fixedFont);

    const std::vector<std::wstring> captions = {L"general", L"call stacks", L"modules", L"processes",
                                                L"hardware", L"cpu regs", L"stack dump", L"disasm"};
    ASSERT_EQ(result.tabs.size(), captions.size());
    const std::vector<int> columns = {2, 7, 4, 6, 2, 2, 3, 3};
    const std::vector<int> rows = {10, 8, 3, 3, 4, 4, 2, 6};
    for (size_t i = 0; i < captions.size(); ++i) {
        EXPECT_EQ(result.tabs[i].caption, captions[i]);
        EXPECT_EQ(result.tabs[i].columns, columns[i]) << "columns of " << i;
        EXPECT_EQ(result.tabs[i].header, captions[i] != L"hardware") << "a header only with captions";
        EXPECT_EQ(result.tabs[i].rows, rows[i]) << "rows of " << i;
        EXPECT_TRUE(result.tabs[i].pictureSaved);
    }
    EXPECT_EQ(result.modulesRow, (std::vector<std::wstring>{L"10000000", L"Conduvex.dll", L"1.0.0.0",
                                                            L"C:\\Program Files\\Host & Co\\Conduvex.dll"}));
    EXPECT_EQ(result.firstStackRow, (std::vector<std::wstring>{L"00401a2c", L"+1c", L"Conduvex.dll", L"ScComPort.cpp",
                                                               L"120", L"+4", L"TScComPort::Open"}));
    EXPECT_EQ(result.selectedAfterClick, 1);
    EXPECT_EQ(result.selectedColour, RGB(224, 232, 239)) << "selected: 16 darker";
    EXPECT_EQ(result.blueCell, RGB(240, 248, 255));
    EXPECT_EQ(result.redCell, RGB(255, 244, 244));
    EXPECT_EQ(result.headingCell, RGB(255, 255, 255)) << "a heading spans white";
    EXPECT_EQ(result.copied, std::wstring(report.begin(), report.end()));
    EXPECT_EQ(result.stackRowsBefore, 8);
    EXPECT_EQ(result.stackRowsAfterRefresh, 11);
    EXPECT_EQ(result.tabAfterRefresh, 1);
    EXPECT_EQ(result.selectedAfterRefresh, 1) << "the reader's place is kept";
    EXPECT_GT(result.scrolledTop, 20);
    EXPECT_EQ(result.topAfterRefresh, result.scrolledTop);
}

} // namespace
