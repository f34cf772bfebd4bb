#pragma once
// The report under tabs: a tab control across the panel and one owner-drawn list view that
// shows the selected tab's rows. The exception dialog hosts the panel as a child window and
// hands it the report text whenever that changes.
#include <windows.h>

#include <functional>
#include <string_view>
#include <vector>

#include "dialog/ReportTabs.h"
#include "wizard/win/GdiObjects.h"

class TReportViews {
public:
    TReportViews() = default;
    ~TReportViews();
    TReportViews(const TReportViews&) = delete;
    TReportViews& operator=(const TReportViews&) = delete;

    // The panel as a child of the parent; the fonts stay the caller's. False when a window
    // cannot be made.
    bool Create(HWND parent, const RECT& bounds, HFONT dialogFont, HFONT fixedFont);
    HWND Handle() const { return panel_; }
    HWND TabControl() const { return tabs_; }
    HWND ListView() const { return list_; }
    void Move(const RECT& bounds);

    // Rebuilds the tabs and the view; the selected tab stays selected while it exists.
    void SetReport(TReportContent report);
    // The report text read into header and sections; Ctrl+C then copies this text.
    void SetReportText(std::u16string_view text);
    // What Ctrl+C in the panel's controls copies (the report, not the view's contents).
    void SetCopySource(std::function<UnicodeString()> source) { copySource_ = std::move(source); }

    int SelectedTab() const { return selected_; }

private:
    static LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool HandleControlKey(UINT message, WPARAM wParam);
    void Subclass(HWND control);
    void Layout();
    void FillTabs();
    void ShowTable();
    void CreateList();
    void FillList();
    void SizeColumns();
    int RowHeight() const;
    HFONT TableFont() const { return table_.fixedFont ? fixedFont_ : dialogFont_; }
    void DrawRow(const DRAWITEMSTRUCT& item);
    void CopyReport() const;

    HWND panel_ = nullptr;
    HWND tabs_ = nullptr;
    HWND list_ = nullptr;
    HFONT dialogFont_ = nullptr;
    HFONT fixedFont_ = nullptr;
    TFont boldDialogFont_;
    TFont boldFixedFont_;
    TReportContent report_;
    UnicodeString reportText_;
    std::function<UnicodeString()> copySource_;
    std::vector<TReportTab> tabNames_;
    int selected_ = 0;
    int shownTab_ = -1;
    TViewTable table_;
};
