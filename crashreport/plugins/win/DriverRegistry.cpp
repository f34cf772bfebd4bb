#include "plugins/win/DriverRegistry.h"

#include <windows.h>

#include "engine/win/RegistryText.h"
#include "plugins/HardwareList.h"

namespace {

constexpr char16_t kDriverClasses[] = u"System\\CurrentControlSet\\Control\\Class\\";

UnicodeString DriverClassKey(const UnicodeString& driverKey)
{
    return kDriverClasses + driverKey;
}

// An open registry key, closed at the end of the scope.
class TOpenKey {
public:
    TOpenKey(HKEY root, const UnicodeString& path)
    {
        if (RegOpenKeyExW(root, reinterpret_cast<const wchar_t*>(path.c_str()), 0, KEY_READ, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~TOpenKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    TOpenKey(const TOpenKey&) = delete;
    TOpenKey& operator=(const TOpenKey&) = delete;
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

} // namespace

std::optional<uint32_t> DriverCharacteristics(const UnicodeString& driverKey)
{
    const TOpenKey key(HKEY_LOCAL_MACHINE, DriverClassKey(driverKey));
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    if (!key.Get() ||
        RegQueryValueExW(key.Get(), L"Characteristics", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        size != sizeof value || (type != REG_DWORD && type != REG_BINARY))
        return std::nullopt;
    return value;
}

UnicodeString DriverVersionSuffix(const UnicodeString& driverKey)
{
    const UnicodeString key = DriverClassKey(driverKey);
    return DriverSuffix(RegReadStr(HKEY_LOCAL_MACHINE, key, u"ProviderName"),
                        RegReadStr(HKEY_LOCAL_MACHINE, key, u"DriverVersion"),
                        RegReadStr(HKEY_LOCAL_MACHINE, key, u"DriverDate"));
}
