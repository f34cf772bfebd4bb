#pragma once
// Base of the library's modal dialogs: a template from this module's resources, run
// modally; the dialog procedure catches and reports everything (FaultReport.h), since no
// exception may unwind through the system's frames. A dialog that cannot be created (no
// display) or prepared ends as cancelled.
#include <windows.h>

#include <string>
#include <string_view>

// Texts between the library's 8-bit code pages and the dialogs' UTF-16.
std::wstring WideFrom(std::string_view text, UINT codePage);
std::string NarrowFrom(std::wstring_view text, UINT codePage);

// The module (DLL or program) this code is linked into, which carries the templates.
HMODULE OwnModule();

class TModalDialog {
public:
    TModalDialog() = default;
    virtual ~TModalDialog() = default;
    TModalDialog(const TModalDialog&) = delete;
    TModalDialog& operator=(const TModalDialog&) = delete;

protected:
    // The end code; IDCANCEL when the dialog could not be created. Owned by the calling
    // thread's active window, when it has one.
    INT_PTR RunModal(int templateId);

    virtual void OnInit() = 0;
    virtual void OnCommand(int id, int code, HWND control) = 0;
    // Any other message; true when handled.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

    void End(INT_PTR code);
    HWND Window() const { return window_; }
    HWND Item(int id) const;
    std::wstring ItemText(int id) const;
    void SetItemText(int id, std::wstring_view text);
    void ShowItem(int id, bool visible);
    void EnableItem(int id, bool enabled);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
};
