#pragma once
// What the registry tells of a device's driver, by its driver key (class GUID and index).
#include <cstdint>
#include <optional>

#include "text/ZelTypes.h"

// The driver's "Characteristics" when it is a 4-byte value.
std::optional<uint32_t> DriverCharacteristics(const UnicodeString& driverKey);
// " (driver " + version + ")" for a driver of another provider than the system's.
UnicodeString DriverVersionSuffix(const UnicodeString& driverKey);
