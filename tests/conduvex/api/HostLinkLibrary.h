#pragma once
// The built Conduvex.dll as a host reaches it: loaded by name from beside the test program,
// every link export bound by GetProcAddress.
#include "conduvex.h"

#include <string>

class THostLinkLibrary {
    // Declared first: every binding below is made from it.
    HMODULE module_ = LoadLibraryA("Conduvex.dll");

public:
    static THostLinkLibrary& Get()
    {
        static THostLinkLibrary library;
        return library;
    }

    bool Loaded() const { return module_ != nullptr; }
    HMODULE Module() const { return module_; }

    std::string ErrorText() const
    {
        char text[512] = {};
        int32_t length = sizeof text;
        LastErrorText(text, &length);
        return text;
    }

    // The text an export of the form (handle, buffer, length) gives.
    std::string TextOf(PFN_ciGetID textExport, CI_HANDLE handle) const
    {
        char text[512] = {};
        int32_t length = sizeof text;
        return textExport(handle, text, &length) == 0 ? std::string(text) : "<failed>";
    }

#define CONDUVEX_EXPORT(name) PFN_##name name = Bind<PFN_##name>(#name);
    CONDUVEX_EXPORT(ciReadVant97)
    CONDUVEX_EXPORT(ciSndGetVant97)
    CONDUVEX_EXPORT(ciSndGetVantel97)
    CONDUVEX_EXPORT(ciSndGet)
    CONDUVEX_EXPORT(ciClearReadBuffer)
    CONDUVEX_EXPORT(ciGetConnectionStringDlg)
    CONDUVEX_EXPORT(ciGetConfigValue)
    CONDUVEX_EXPORT(ciSetConfig)
    CONDUVEX_EXPORT(ciGetConfig)
    CONDUVEX_EXPORT(ciGetProvider)
    CONDUVEX_EXPORT(ciGetID)
    CONDUVEX_EXPORT(ciGetDescription)
    CONDUVEX_EXPORT(ciUnregisterCallBackNotifications)
    CONDUVEX_EXPORT(ciRegisterCallBackNotifications)
    CONDUVEX_EXPORT(ciUnregisterMsgNotifications)
    CONDUVEX_EXPORT(ciRegisterMsgNotifications)
    CONDUVEX_EXPORT(ciReadLength)
    CONDUVEX_EXPORT(ciWrite)
    CONDUVEX_EXPORT(ciRead)
    CONDUVEX_EXPORT(ciConfigDialogAvailable)
    CONDUVEX_EXPORT(ciExecuteConfigDialog)
    CONDUVEX_EXPORT(ciSetValid)
    CONDUVEX_EXPORT(ciGetValid)
    CONDUVEX_EXPORT(ciIsActive)
    CONDUVEX_EXPORT(ciRelease)
    CONDUVEX_EXPORT(ciClose)
    CONDUVEX_EXPORT(ciOpen)
    CONDUVEX_EXPORT(ciCreateCB)
    CONDUVEX_EXPORT(ciCreateM)
    CONDUVEX_EXPORT(ciCreate)
    CONDUVEX_EXPORT(ciHandlesCount)
    CONDUVEX_EXPORT(LastError)
    CONDUVEX_EXPORT(LastErrorText)
#undef CONDUVEX_EXPORT

private:
    THostLinkLibrary() = default;

    template <class Function>
    Function Bind(const char* name) const
    {
        return module_ ? reinterpret_cast<Function>(
                             reinterpret_cast<void*>(GetProcAddress(module_, name)))
                       : nullptr;
    }
};
