#include "delivery/win/PrintBugReport.h"

#include <commdlg.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

// The page's margins in device units, less the part the printer cannot reach.
struct TPageLayout {
    int top = 0;
    int left = 0;
    int right = 0;  // x of the right margin
    int bottom = 0; // lowest usable y
};

int MillimetresToPixels(HDC printer, int millimetres, int pixelsIndex, int millimetresIndex)
{
    const int sizeMillimetres = GetDeviceCaps(printer, millimetresIndex);
    if (sizeMillimetres <= 0)
        return 0;
    return static_cast<int>(std::lround(static_cast<double>(millimetres) * GetDeviceCaps(printer, pixelsIndex) /
                                        sizeMillimetres));
}

TPageLayout LayoutOf(HDC printer)
{
    const int offsetX = GetDeviceCaps(printer, PHYSICALOFFSETX);
    const int offsetY = GetDeviceCaps(printer, PHYSICALOFFSETY);
    TPageLayout page;
    page.top = MillimetresToPixels(printer, 10, VERTRES, VERTSIZE) - offsetY;
    page.left = MillimetresToPixels(printer, 20, HORZRES, HORZSIZE) - offsetX;
    page.right = GetDeviceCaps(printer, HORZRES) - (MillimetresToPixels(printer, 10, HORZRES, HORZSIZE) - offsetX);
    page.bottom = GetDeviceCaps(printer, VERTRES) - 2 * page.top;
    return page;
}

std::vector<std::wstring> LinesOf(std::u16string_view report)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = report.find(u"\r\n", start);
        std::wstring line = Wide(report.substr(start, end == std::u16string_view::npos ? end : end - start));
        lines.push_back(line.empty() ? L" " : line);
        if (end == std::u16string_view::npos)
            return lines;
        start = end + 2;
    }
}

class TSelectedFont {
public:
    TSelectedFont(HDC dc, HFONT font) : dc_(dc), font_(font), previous_(SelectObject(dc, font)) {}
    ~TSelectedFont()
    {
        SelectObject(dc_, previous_);
        DeleteObject(font_);
    }
    TSelectedFont(const TSelectedFont&) = delete;
    TSelectedFont& operator=(const TSelectedFont&) = delete;

private:
    HDC dc_;
    HFONT font_;
    HGDIOBJ previous_;
};

class TPrinterDc {
public:
    explicit TPrinterDc(HDC dc) : dc_(dc) {}
    ~TPrinterDc()
    {
        if (dc_)
            DeleteDC(dc_);
    }
    TPrinterDc(const TPrinterDc&) = delete;
    TPrinterDc& operator=(const TPrinterDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

} // namespace

bool PrintReportOn(HDC printer, const UnicodeString& report, const UnicodeString& documentName)
{
    SetMapMode(printer, MM_TEXT);
    const TPageLayout page = LayoutOf(printer);
    const int height = -MulDiv(GetDeviceCaps(printer, LOGPIXELSY), 8, 72);
    const TSelectedFont font(printer, CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                                  DEFAULT_PITCH, L"Courier New"));
    const std::wstring name = Wide(documentName);
    DOCINFOW document{};
    document.cbSize = sizeof(document);
    document.lpszDocName = name.c_str();
    if (StartDocW(printer, &document) <= 0)
        return false;
    bool printed = StartPage(printer) > 0;
    int y = page.top;
    // An "&" of the report is text, not an accelerator prefix that would swallow it.
    constexpr UINT kWrap = DT_WORDBREAK | DT_EXTERNALLEADING | DT_NOPREFIX;
    for (const std::wstring& line : LinesOf(report)) {
        if (!printed)
            break;
        RECT measured{page.left, y, page.right, y};
        DrawTextW(printer, line.c_str(), static_cast<int>(line.size()), &measured, kWrap | DT_CALCRECT);
        if (measured.bottom > page.bottom && y > page.top) {
            printed = EndPage(printer) > 0 && StartPage(printer) > 0;
            y = page.top;
            measured = {page.left, y, page.right, y + (measured.bottom - measured.top)};
        }
        RECT area{page.left, y, page.right, measured.bottom};
        DrawTextW(printer, line.c_str(), static_cast<int>(line.size()), &area, kWrap);
        y = measured.bottom;
    }
    printed = EndPage(printer) > 0 && printed;
    return EndDoc(printer) > 0 && printed;
}

void PrintBugReport(const UnicodeString& report, HWND owner, IZESettings& settings,
                    const std::function<bool()>& loaderLocked)
{
    if (loaderLocked && loaderLocked()) {
        MessageBeep(MB_OK);
        return;
    }
    PRINTDLGW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.Flags = PD_NOSELECTION | PD_NOPAGENUMS | PD_NOWARNING | PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE |
                   PD_HIDEPRINTTOFILE | PD_NONETWORKBUTTON;
    if (!PrintDlgW(&dialog))
        return;
    const TPrinterDc printer(dialog.hDC);
    if (dialog.hDevMode)
        GlobalFree(dialog.hDevMode);
    if (dialog.hDevNames)
        GlobalFree(dialog.hDevNames);
    if (printer.Get())
        PrintReportOn(printer.Get(), report, settings.PrintBtnTxt());
}
