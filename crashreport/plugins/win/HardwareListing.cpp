#include <windows.h>
#include <setupapi.h>

#include "plugins/HardwareList.h"
#include "plugins/win/BoundLibrary.h"
#include "plugins/win/DriverRegistry.h"
#include "plugins/win/ListPlugins.h"

namespace {

using TGetClassDevsW = HDEVINFO(WINAPI*)(const GUID* classGuid, const wchar_t* enumerator, HWND parent, DWORD flags);
using TDestroyDeviceInfoList = BOOL(WINAPI*)(HDEVINFO set);
using TEnumDeviceInfo = BOOL(WINAPI*)(HDEVINFO set, DWORD index, SP_DEVINFO_DATA* data);
using TGetDeviceRegistryPropertyW = BOOL(WINAPI*)(HDEVINFO set, SP_DEVINFO_DATA* data, DWORD property,
                                                  DWORD* type, BYTE* buffer, DWORD size, DWORD* required);

struct TSetupRoutines {
    TGetClassDevsW getClassDevs;
    TDestroyDeviceInfoList destroyList;
    TEnumDeviceInfo enumDevice;
    TGetDeviceRegistryPropertyW getProperty;
    explicit operator bool() const { return getClassDevs && destroyList && enumDevice && getProperty; }
};

// A text property (the first string of a list); empty when the device has none.
UnicodeString DeviceProperty(const TSetupRoutines& routines, HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property)
{
    DWORD required = 0;
    routines.getProperty(set, &device, property, nullptr, nullptr, 0, &required);
    if (required < sizeof(wchar_t))
        return {};
    std::vector<wchar_t> buffer(required / sizeof(wchar_t) + 1, L'\0');
    if (!routines.getProperty(set, &device, property, nullptr, reinterpret_cast<BYTE*>(buffer.data()), required,
                              nullptr))
        return {};
    return UnicodeString(reinterpret_cast<const char16_t*>(buffer.data()));
}

void CollectDevices(const TSetupRoutines& routines, THardwareList& list)
{
    const HDEVINFO set = routines.getClassDevs(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; routines.enumDevice(set, index, &device); ++index) {
        const UnicodeString className = DeviceProperty(routines, set, device, SPDRP_CLASS);
        UnicodeString name = DeviceProperty(routines, set, device, SPDRP_FRIENDLYNAME);
        if (name.empty())
            name = DeviceProperty(routines, set, device, SPDRP_DEVICEDESC);
        const UnicodeString hardwareId = DeviceProperty(routines, set, device, SPDRP_HARDWAREID);
        const UnicodeString driverKey = DeviceProperty(routines, set, device, SPDRP_DRIVER);
        const auto characteristics = driverKey.empty() ? std::nullopt : DriverCharacteristics(driverKey);
        if (IsListedDevice(className, name, hardwareId, characteristics))
            list.Add(className, name, driverKey);
    }
    routines.destroyList(set);
}

} // namespace

UnicodeString ListHardware()
{
    THardwareList list;
    {
        const TBoundLibrary setupapi(L"setupapi.dll");
        const TSetupRoutines routines{setupapi.Bind<TGetClassDevsW>("SetupDiGetClassDevsW"),
                                      setupapi.Bind<TDestroyDeviceInfoList>("SetupDiDestroyDeviceInfoList"),
                                      setupapi.Bind<TEnumDeviceInfo>("SetupDiEnumDeviceInfo"),
                                      setupapi.Bind<TGetDeviceRegistryPropertyW>("SetupDiGetDeviceRegistryPropertyW")};
        if (routines)
            CollectDevices(routines, list);
    }
    return list.Text(DriverVersionSuffix);
}
