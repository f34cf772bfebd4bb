#include "engine/win/RegistryText.h"

#include <vector>

namespace {

const wchar_t* Wide(const UnicodeString& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

class TRegKey {
public:
    ~TRegKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

} // namespace

UnicodeString RegReadStr(HKEY root, const UnicodeString& keyPath, const UnicodeString& valueName)
{
    TRegKey key;
    if (RegOpenKeyExW(root, Wide(keyPath), 0, KEY_READ, key.Out()) != ERROR_SUCCESS)
        return {};
    DWORD size = 0;
    if (RegQueryValueExW(key.Get(), Wide(valueName), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS || size == 0)
        return {};
    // Twice the size asked for: a value may grow between the two calls.
    std::vector<char16_t> buffer(size + 1, u'\0');
    DWORD got = size * 2;
    if (RegQueryValueExW(key.Get(), Wide(valueName), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &got)
        != ERROR_SUCCESS)
        return {};
    return UnicodeString(buffer.data());
}

bool RegWriteStr(HKEY root, const UnicodeString& keyPath, const UnicodeString& valueName, const UnicodeString& text)
{
    TRegKey key;
    if (RegCreateKeyExW(root, Wide(keyPath), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Out(), nullptr) != ERROR_SUCCESS)
        return false;
    const DWORD bytes = static_cast<DWORD>(text.size() * 2 + 2);
    return RegSetValueExW(key.Get(), Wide(valueName), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes)
           == ERROR_SUCCESS;
}

bool RegDeleteValueText(HKEY root, const UnicodeString& keyPath, const UnicodeString& valueName)
{
    TRegKey key;
    if (RegOpenKeyExW(root, Wide(keyPath), 0, KEY_ALL_ACCESS, key.Out()) != ERROR_SUCCESS)
        return false;
    return RegDeleteValueW(key.Get(), Wide(valueName)) == ERROR_SUCCESS;
}
