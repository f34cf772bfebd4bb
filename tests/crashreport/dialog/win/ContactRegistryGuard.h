#pragma once
// Keeps the user's remembered contact out of the tests' way: saved before, put back after.
#include <windows.h>

#include <optional>

#include "engine/win/RegistryText.h"
#include "text/ZelTypes.h"

class TContactRegistryGuard {
public:
    TContactRegistryGuard() : name_(Read(u"RememberName")), email_(Read(u"RememberEmail")) {}
    ~TContactRegistryGuard()
    {
        Restore(u"RememberName", name_);
        Restore(u"RememberEmail", email_);
    }
    TContactRegistryGuard(const TContactRegistryGuard&) = delete;
    TContactRegistryGuard& operator=(const TContactRegistryGuard&) = delete;

    bool ValueExists(const wchar_t* value) const
    {
        return RegGetValueW(HKEY_CURRENT_USER, Key, value, RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    }
    bool ValueExists(const char16_t* value) const { return ValueExists(reinterpret_cast<const wchar_t*>(value)); }

private:
    static constexpr wchar_t Key[] = L"Software\\Tesvik\\ContactForm";

    std::optional<UnicodeString> Read(const char16_t* value) const
    {
        if (!ValueExists(value))
            return std::nullopt;
        return RegReadStr(HKEY_CURRENT_USER, u"Software\\Tesvik\\ContactForm", value);
    }

    static void Restore(const char16_t* value, const std::optional<UnicodeString>& saved)
    {
        if (saved)
            RegWriteStr(HKEY_CURRENT_USER, u"Software\\Tesvik\\ContactForm", value, *saved);
        else
            RegDeleteValueText(HKEY_CURRENT_USER, u"Software\\Tesvik\\ContactForm", value);
    }

    std::optional<UnicodeString> name_;
    std::optional<UnicodeString> email_;
};
