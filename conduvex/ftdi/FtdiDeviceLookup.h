#pragma once
// Converters attached through the driver (Ftd2xx.h): their number, their details by index,
// and the search by serial number, description, vendor and product ID that hosts and link
// creation use. The driver is asked on every call.
#include "ftdi/Ftd2xx.h"
#include "ParamSet.h"

#include <cstdint>
#include <optional>
#include <string>

struct TFtdiDeviceDetail {
    uint32_t flags = 0;
    uint32_t type = 0;
    uint32_t id = 0; // vendor ID in the high 16 bits, product ID in the low 16
    uint32_t location = 0;
    std::string serialNumber;
    std::string description;

    uint32_t VendorId() const { return id >> 16; }
    uint32_t ProductId() const { return id & 0xFFFF; }
};

// Every given criterion must hold: the serial number equal in any letter case, the
// description contained in the device's in any letter case, vendor and product ID equal.
struct TFtdiCriteria {
    std::optional<std::string> serialNumber;
    std::optional<std::string> description;
    std::optional<uint32_t> vendorId;
    std::optional<uint32_t> productId;

    bool Matches(const TFtdiDeviceDetail& device) const;
};

inline constexpr const char* kFtd2xxNotLoadedText = "Library ftd2xx.dll was not loaded.";

// The number of attached devices; -1 with the last error set when the driver is not
// loaded (0x20000015) or fails (0x20000064 + status).
int32_t FtdiDeviceCount();

// The driver's description of the device at that index (from its last device list), as is.
ftd2xx::TFtStatus QueryFtdiDetail(int32_t index, TFtdiDeviceDetail& detail);

// The details of the device at that index; 0, or the code of the failure now in the last
// error: 0x20000015 driver not loaded, 0x20000064 + status. A negative index raises.
uint32_t ReadFtdiDetail(int32_t index, TFtdiDeviceDetail& detail);

// The first device from start on that matches; -1 when none does, when start lies outside
// the attached devices or when they cannot be counted (the last error then says why).
int32_t FindFtdiDevice(int32_t start, const TFtdiCriteria& criteria);

// The device a connection string names, from start on: by "INDEX", else by the criteria
// "SERIAL_NUMBER", "DEVICE" (part of the description), "VID" and "PID"; -1 when no device
// matches. Raises "Library ftd2xx.dll was not loaded." without the driver and
// "FTD device index doesn't exists." for an index outside the attached devices.
int32_t FindFTDDevice(const TParamSet& parameters, int32_t start);

// What link creation uses: the index of the device the connection string names. Raises
// 0x20000015 without the driver, the driver's failure when the devices cannot be counted,
// and 0x20000010 "Device is not available." when none matches.
int32_t FindFtdiDeviceIndex(const TParamSet& parameters);
