#pragma once
// The installed hardware as a report section: device classes sorted by name, each with its
// devices sorted by name (both ignoring case), and the driver version of devices whose driver
// does not come with the system.
#include <functional>
#include <optional>
#include <vector>

#include "text/ZelTypes.h"

// Whether a present device is listed: it has a class and a name, its class is none of the
// system's bookkeeping classes, it is no software-enumerated device ("sw\" in its hardware
// identifier), and its driver's characteristics (when they are a 4-byte value) do not mark
// it as hidden.
bool IsListedDevice(std::u16string_view className, std::u16string_view deviceName, std::u16string_view hardwareId,
                    std::optional<uint32_t> driverCharacteristics);

// " (driver " + version + ")" for a driver of another provider than the system's, when a
// version or date is known; else empty.
UnicodeString DriverSuffix(std::u16string_view provider, std::u16string_view driverVersion,
                           std::u16string_view driverDate);

class THardwareList {
public:
    struct TDevice {
        UnicodeString name;
        UnicodeString driverKey;
    };
    struct TClass {
        UnicodeString name;
        std::vector<TDevice> devices;
    };

    void Add(const UnicodeString& className, const UnicodeString& deviceName, const UnicodeString& driverKey);
    const std::vector<TClass>& Classes() const { return classes_; }
    // "+ " + class per class, "  - " + device + suffix per device; the suffix comes from the
    // device's driver key (none without one).
    UnicodeString Text(const std::function<UnicodeString(const UnicodeString& driverKey)>& driverSuffix) const;

private:
    std::vector<TClass> classes_;
};
