#include "dialog/win/ReportViews.h"

#include <commctrl.h>

#include <algorithm>

#include "dialog/ColumnList.h"
#include "dialog/ViewColours.h"
#include "dialog/win/ViewRowPainter.h"
#include "engine/win/Clipboard.h"

namespace {

constexpr wchar_t PanelClassName[] = L"zelReportViews";
constexpr wchar_t OriginalProcProperty[] = L"zelReportViewsProc";
constexpr int ColumnMargin = 14;
constexpr int MaxInitialColumnWidth = 420;

HINSTANCE ThisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

bool RegisterPanelClass()
{
    static const bool registered = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = ThisModule();
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        windowClass.lpszClassName = PanelClassName;
        return RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

TFont BoldOf(HFONT font)
{
    LOGFONTW description{};
    if (!font || GetObjectW(font, sizeof description, &description) == 0)
        return TFont();
    description.lfWeight = FW_BOLD;
    return TFont(CreateFontIndirectW(&description));
}

int TextWidth(HDC dc, const UnicodeString& text)
{
    const std::wstring shown = WideOf(DisplayText(text));
    SIZE size{};
    GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
    return size.cx;
}

// Tab captions are the report's own texts: an "&" must show as written.
std::wstring TabCaption(const UnicodeString& caption)
{
    std::wstring shown;
    for (const char16_t c : caption) {
        shown += static_cast<wchar_t>(c);
        if (c == u'&')
            shown += L'&';
    }
    return shown;
}

class TClientDC {
public:
    explicit TClientDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~TClientDC()
    {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    TClientDC(const TClientDC&) = delete;
    TClientDC& operator=(const TClientDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

} // namespace

TReportViews::~TReportViews()
{
    if (panel_ && IsWindow(panel_)) {
        SetWindowLongPtrW(panel_, GWLP_USERDATA, 0);
        DestroyWindow(panel_);
    }
}

bool TReportViews::Create(HWND parent, const RECT& bounds, HFONT dialogFont, HFONT fixedFont)
{
    if (panel_ || !RegisterPanelClass())
        return false;
    dialogFont_ = dialogFont;
    fixedFont_ = fixedFont;
    boldDialogFont_ = BoldOf(dialogFont);
    boldFixedFont_ = BoldOf(fixedFont);
    panel_ = CreateWindowExW(WS_EX_CONTROLPARENT, PanelClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                             bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                             nullptr, ThisModule(), nullptr);
    if (!panel_)
        return false;
    SetWindowLongPtrW(panel_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(panel_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PanelProc));
    tabs_ = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 0, 0, 0, 0,
                            panel_, nullptr, ThisModule(), nullptr);
    if (!tabs_)
        return false;
    SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont_), FALSE);
    Subclass(tabs_);
    FillTabs();
    ShowTable();
    return list_ != nullptr;
}

void TReportViews::Move(const RECT& bounds)
{
    if (panel_)
        MoveWindow(panel_, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, TRUE);
}

void TReportViews::SetReport(TReportContent report)
{
    report_ = std::move(report);
    const int selected = selected_;
    tabNames_ = BuildReportTabs(report_);
    selected_ = std::min(selected, static_cast<int>(tabNames_.size()) - 1);
    if (!panel_)
        return;
    FillTabs();
    ShowTable();
}

void TReportViews::SetReportText(std::u16string_view text)
{
    reportText_ = UnicodeString(text);
    SetReport(ParseReportText(text));
}

void TReportViews::FillTabs()
{
    if (tabNames_.empty())
        tabNames_ = BuildReportTabs(report_);
    SendMessageW(tabs_, TCM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < tabNames_.size(); ++i) {
        std::wstring caption = TabCaption(tabNames_[i].caption);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        SendMessageW(tabs_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageW(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(selected_), 0);
}

void TReportViews::ShowTable()
{
    if (!panel_)
        return;
    table_ = BuildTabTable(report_, tabNames_[static_cast<size_t>(selected_)]);
    // A refresh of the same tab keeps the reader's place.
    const bool sameTab = list_ && shownTab_ == selected_;
    const int top = sameTab ? static_cast<int>(SendMessageW(list_, LVM_GETTOPINDEX, 0, 0)) : 0;
    const int selectedRow =
        sameTab ? static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) : -1;
    CreateList();
    if (!list_)
        return;
    shownTab_ = selected_;
    FillList();
    Layout();
    SizeColumns();
    const int rows = static_cast<int>(table_.rows.size());
    if (selectedRow >= 0 && selectedRow < rows) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(selectedRow), reinterpret_cast<LPARAM>(&state));
    }
    // The old first row comes back to the top: the last row of its page is brought into view.
    if (top > 0 && rows > 0) {
        const int page = static_cast<int>(SendMessageW(list_, LVM_GETCOUNTPERPAGE, 0, 0));
        SendMessageW(list_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(std::min(top + std::max(page, 1) - 1, rows - 1)), FALSE);
    }
}

// A new list for each table: the header's presence, the font and the row height follow it.
void TReportViews::CreateList()
{
    const bool hadFocus = list_ && GetFocus() == list_;
    if (list_)
        DestroyWindow(list_);
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                  LVS_OWNERDRAWFIXED | LVS_NOSORTHEADER;
    if (!table_.hasHeader)
        style |= LVS_NOCOLUMNHEADER;
    list_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", style, 0, 0, 0, 0, panel_, nullptr, ThisModule(),
                            nullptr);
    if (!list_)
        return;
    SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(TableFont()), FALSE);
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    Subclass(list_);
    if (hadFocus)
        SetFocus(list_);
}

void TReportViews::FillList()
{
    for (size_t i = 0; i < table_.columns.size(); ++i) {
        std::wstring caption = WideOf(HeaderCaption(table_.columns[i]));
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
        column.fmt = table_.columns[i].rightAligned ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.pszText = caption.data();
        column.cx = 50;
        SendMessageW(list_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    SendMessageW(list_, LVM_SETITEMCOUNT, table_.rows.size(), 0);
    // The cells are items and subitems too, so that what the view shows can be read back.
    for (size_t row = 0; row < table_.rows.size(); ++row) {
        const TViewRow& source = table_.rows[row];
        for (size_t cell = 0; cell < source.cells.size() && cell < table_.columns.size(); ++cell) {
            std::wstring text = WideOf(source.cells[cell]);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(row);
            item.iSubItem = static_cast<int>(cell);
            item.pszText = text.data();
            SendMessageW(list_, cell == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        }
    }
}

void TReportViews::SizeColumns()
{
    const TClientDC dc(list_);
    const TSelection font(dc.Get(), TableFont());
    const size_t count = table_.columns.size();
    std::vector<int> widths(count, 0);
    for (size_t i = 0; i < count; ++i)
        widths[i] = table_.hasHeader ? TextWidth(dc.Get(), HeaderCaption(table_.columns[i])) : 0;
    for (const TViewRow& row : table_.rows) {
        if (row.spanning)
            continue;
        for (size_t i = 0; i < row.cells.size() && i < count; ++i)
            widths[i] = std::max(widths[i], TextWidth(dc.Get(), row.cells[i]));
    }
    // The last column takes what the others leave and is never cut short.
    RECT client{};
    GetClientRect(list_, &client);
    int used = 0;
    for (size_t i = 0; i < count; ++i) {
        int width = widths[i] + ColumnMargin;
        width = i + 1 < count ? std::min(width, MaxInitialColumnWidth) : std::max(width, static_cast<int>(client.right) - used);
        used += width;
        SendMessageW(list_, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(width, 0));
    }
}

int TReportViews::RowHeight() const
{
    const TClientDC dc(panel_);
    const TSelection font(dc.Get(), TableFont());
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc.Get(), &metrics);
    return metrics.tmHeight + 5;
}

void TReportViews::Layout()
{
    RECT client{};
    GetClientRect(panel_, &client);
    MoveWindow(tabs_, 0, 0, client.right, client.bottom, TRUE);
    RECT display = client;
    SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    if (list_)
        MoveWindow(list_, display.left, display.top, display.right - display.left, display.bottom - display.top, TRUE);
}

void TReportViews::Subclass(HWND control)
{
    SetPropW(control, OriginalProcProperty, reinterpret_cast<HANDLE>(GetWindowLongPtrW(control, GWLP_WNDPROC)));
    SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlProc));
}

LRESULT CALLBACK TReportViews::ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto original = reinterpret_cast<WNDPROC>(GetPropW(window, OriginalProcProperty));
    try {
        auto* views = reinterpret_cast<TReportViews*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (views && views->HandleControlKey(message, wParam))
            return 0;
    } catch (...) {
        return 0;
    }
    if (message == WM_NCDESTROY) {
        RemovePropW(window, OriginalProcProperty);
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    }
    return original ? CallWindowProcW(original, window, message, wParam, lParam)
                    : DefWindowProcW(window, message, wParam, lParam);
}

bool TReportViews::HandleControlKey(UINT message, WPARAM wParam)
{
    const bool control = GetKeyState(VK_CONTROL) < 0;
    if (message == WM_KEYDOWN && control && wParam == 'C') {
        CopyReport();
        return true;
    }
    // The character of Ctrl+C would only beep.
    return message == WM_CHAR && wParam == 3;
}

void TReportViews::CopyReport() const
{
    const UnicodeString text = copySource_ ? copySource_() : reportText_;
    CopyTextToClipboard(text);
}

LRESULT CALLBACK TReportViews::PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        if (auto* views = reinterpret_cast<TReportViews*>(GetWindowLongPtrW(window, GWLP_USERDATA)))
            return views->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT TReportViews::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->hwndFrom == tabs_ && header->code == static_cast<UINT>(TCN_SELCHANGE)) {
            selected_ = static_cast<int>(SendMessageW(tabs_, TCM_GETCURSEL, 0, 0));
            if (selected_ < 0)
                selected_ = 0;
            ShowTable();
            return 0;
        }
        break;
    }
    case WM_MEASUREITEM: {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (measure && measure->CtlType == ODT_LISTVIEW) {
            measure->itemHeight = static_cast<UINT>(RowHeight());
            return TRUE;
        }
        break;
    }
    case WM_DRAWITEM: {
        const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (draw && draw->hwndItem == list_) {
            DrawRow(*draw);
            return TRUE;
        }
        break;
    }
    case WM_NCDESTROY: {
        // The system's own clean-up of the window still needs its handle.
        const HWND panel = panel_;
        panel_ = tabs_ = list_ = nullptr;
        return DefWindowProcW(panel, message, wParam, lParam);
    }
    }
    return DefWindowProcW(panel_, message, wParam, lParam);
}

void TReportViews::DrawRow(const DRAWITEMSTRUCT& item)
{
    const size_t index = item.itemID;
    if (index >= table_.rows.size())
        return;
    TRowPaint paint;
    paint.dc = item.hDC;
    paint.bounds = item.rcItem;
    paint.selected = (item.itemState & ODS_SELECTED) != 0;
    paint.lowColour = IsLowColourDisplay(item.hDC);
    paint.nextFollowsBlank = index + 1 < table_.rows.size() && table_.rows[index + 1].followsBlank;
    paint.font = TableFont();
    paint.boldFont = table_.fixedFont ? boldFixedFont_.Get() : boldDialogFont_.Get();
    for (size_t i = 0; i < table_.columns.size(); ++i)
        paint.columnWidths.push_back(static_cast<int>(SendMessageW(list_, LVM_GETCOLUMNWIDTH, i, 0)));
    PaintViewRow(paint, table_.rows[index], table_.columns);
}
