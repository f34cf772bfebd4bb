#include "dialogs/ModalDialog.h"

#include "runtime/FaultProbe.h"
#include "runtime/FaultReport.h"

#include <commctrl.h>

#include <vector>

std::wstring WideFrom(std::string_view text, UINT codePage)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int needed = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(needed > 0 ? needed : 0), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), needed);
    return wide;
}

std::string NarrowFrom(std::wstring_view text, UINT codePage)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int needed =
        WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(needed > 0 ? needed : 0), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), size, narrow.data(), needed, nullptr, nullptr);
    return narrow;
}

HMODULE OwnModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&OwnModule), &module);
    return module;
}

INT_PTR TModalDialog::RunModal(int templateId)
{
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX),
                                       ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);
    const INT_PTR code = DialogBoxParamW(OwnModule(), MAKEINTRESOURCEW(templateId),
                                         GetActiveWindow(), &DialogProc,
                                         reinterpret_cast<LPARAM>(this));
    window_ = nullptr;
    return code == -1 ? IDCANCEL : code;
}

bool TModalDialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&)
{
    return false;
}

void TModalDialog::End(INT_PTR code)
{
    EndDialog(window_, code);
}

HWND TModalDialog::Item(int id) const
{
    return GetDlgItem(window_, id);
}

std::wstring TModalDialog::ItemText(int id) const
{
    const HWND item = Item(id);
    std::vector<wchar_t> text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    const int length = GetWindowTextW(item, text.data(), static_cast<int>(text.size()));
    return std::wstring(text.data(), static_cast<size_t>(length > 0 ? length : 0));
}

void TModalDialog::SetItemText(int id, std::wstring_view text)
{
    SetWindowTextW(Item(id), std::wstring(text).c_str());
}

void TModalDialog::ShowItem(int id, bool visible)
{
    ShowWindow(Item(id), visible ? SW_SHOWNA : SW_HIDE);
}

void TModalDialog::EnableItem(int id, bool enabled)
{
    EnableWindow(Item(id), enabled);
}

INT_PTR CALLBACK TModalDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return RunWindowProc(
        window,
        [&]() -> INT_PTR {
            if (message == WM_INITDIALOG) {
                SetWindowLongPtrW(window, DWLP_USER, lParam);
                reinterpret_cast<TModalDialog*>(lParam)->window_ = window;
            }
            auto* dialog = reinterpret_cast<TModalDialog*>(GetWindowLongPtrW(window, DWLP_USER));
            return dialog ? dialog->Dispatch(message, wParam, lParam) : FALSE;
        },
        [&](std::exception_ptr) -> INT_PTR {
            // A dialog that could not even be prepared must not linger half-filled.
            if (message == WM_INITDIALOG)
                EndDialog(window, IDCANCEL);
            return FALSE;
        });
}

INT_PTR TModalDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        FaultPoint("dialog");
        OnInit();
        return TRUE;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return TRUE;
    default: {
        INT_PTR result = FALSE;
        if (!OnMessage(message, wParam, lParam, result))
            return FALSE;
        SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
        return TRUE;
    }
    }
}
