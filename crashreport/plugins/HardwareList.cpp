#include "plugins/HardwareList.h"

#include <algorithm>
#include <array>

#include "plugins/ColumnText.h"
#include "text/CaseFolding.h"
#include "text/TextEdit.h"
#include "text/TextSearch.h"

namespace {

constexpr std::array<std::u16string_view, 3> kUnlistedClasses = {u"LegacyDriver", u"Unknown", u"Volume"};
constexpr uint32_t kHiddenDriver = 0x8;

// The first entry that does not compare lower than the name: new entries go in before it.
template <class Entries>
auto InsertionPoint(Entries& entries, std::u16string_view name)
{
    return std::find_if(entries.begin(), entries.end(),
                        [&](const auto& entry) { return CompareTextW(entry.name, name) >= 0; });
}

} // namespace

bool IsListedDevice(std::u16string_view className, std::u16string_view deviceName, std::u16string_view hardwareId,
                    std::optional<uint32_t> driverCharacteristics)
{
    if (className.empty() || deviceName.empty())
        return false;
    for (std::u16string_view unlisted : kUnlistedClasses)
        if (SameTextW(className, unlisted))
            return false;
    if (ContainsTextW(u"sw\\", hardwareId))
        return false;
    return !driverCharacteristics || (*driverCharacteristics & kHiddenDriver) == 0;
}

UnicodeString DriverSuffix(std::u16string_view provider, std::u16string_view driverVersion,
                           std::u16string_view driverDate)
{
    if (provider.empty() || provider.front() == u'(' || SameTextW(provider, u"Microsoft"))
        return {};
    UnicodeString version = TrimW(driverVersion);
    if (version.empty())
        version = TrimW(driverDate);
    return version.empty() ? UnicodeString() : u" (driver " + version + u")";
}

void THardwareList::Add(const UnicodeString& className, const UnicodeString& deviceName,
                        const UnicodeString& driverKey)
{
    auto place = InsertionPoint(classes_, className);
    if (place == classes_.end() || !SameTextW(place->name, className))
        place = classes_.insert(place, TClass{className, {}});
    place->devices.insert(InsertionPoint(place->devices, deviceName), TDevice{deviceName, driverKey});
}

UnicodeString THardwareList::Text(const std::function<UnicodeString(const UnicodeString& driverKey)>& driverSuffix) const
{
    std::vector<UnicodeString> lines;
    for (const TClass& deviceClass : classes_) {
        lines.push_back(u"+ " + deviceClass.name);
        for (const TDevice& device : deviceClass.devices)
            lines.push_back(u"  - " + device.name + (device.driverKey.empty() ? UnicodeString() : driverSuffix(device.driverKey)));
    }
    return JoinLines(lines);
}
