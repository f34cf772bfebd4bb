#include "mapi/win/Mailto.h"

#include <windows.h>

#include <string>

#include "mapi/MailtoUrl.h"

namespace {

class TRegistryKey {
public:
    TRegistryKey(HKEY root, const wchar_t* path)
    {
        if (RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~TRegistryKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    TRegistryKey(const TRegistryKey&) = delete;
    TRegistryKey& operator=(const TRegistryKey&) = delete;

    // The default value as text; empty when there is none.
    std::wstring DefaultText() const
    {
        DWORD type = 0;
        DWORD size = 0;
        if (!key_ || RegQueryValueExW(key_, nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ))
            return {};
        std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key_, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
            ERROR_SUCCESS)
            return {};
        text.resize(wcsnlen(text.c_str(), text.size()));
        return text;
    }

private:
    HKEY key_ = nullptr;
};

std::wstring ExpandEnvironment(const std::wstring& text)
{
    const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (needed == 0)
        return text;
    std::wstring expanded(needed, L'\0');
    const DWORD written = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), needed);
    if (written == 0 || written > needed)
        return text;
    expanded.resize(written - 1);
    return expanded;
}

UnicodeString Utf16(const std::wstring& text) { return UnicodeString(text.begin(), text.end()); }
std::wstring Wide(const UnicodeString& text) { return std::wstring(text.begin(), text.end()); }

} // namespace

bool SendViaMailto(const UnicodeString& recipients, const UnicodeString& subject, const UnicodeString& body)
{
    const UnicodeString command =
        Utf16(ExpandEnvironment(TRegistryKey(HKEY_CLASSES_ROOT, L"mailto\\shell\\open\\command").DefaultText()));
    if (command.empty())
        return false;
    const UnicodeString url = MailtoUrl(MailtoRecipients(command, recipients), subject, body);
    std::wstring line = Wide(MailtoCommandLine(command, url, kMaxCommandLine));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}
