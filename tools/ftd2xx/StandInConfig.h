#pragma once
// The stand-in driver's configuration: the attached devices and the failures to inject.
// It is read from the text file named by FTD2XX_STANDIN_CONFIG on every call, so a test
// can attach devices or inject failures while it runs:
//
//   [device]                 one section per attached device, in index order
//   serial=FT000001          serial number (at most 15 characters are reported)
//   description=USB Serial   description (at most 63)
//   vid=0x0403               vendor and product ID (decimal or 0x hexadecimal)
//   pid=0x6001
//   location=0x0111
//   type=5
//   bridge=5000              data go to and from 127.0.0.1:5000; absent or 0: loopback
//   [fail]
//   FT_Write=4               every FT_Write answers status 4
//   [fault]
//   FT_GetQueueStatus=1      every FT_GetQueueStatus faults (an access violation in the driver)
//   [options]
//   list_count=1             FT_ListDevices reports this count instead of the table's
//
// Without the variable or the file no device is attached.
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct TStandInDevice {
    std::string serialNumber;
    std::string description;
    uint32_t vendorId = 0x0403;
    uint32_t productId = 0x6001;
    uint32_t location = 0;
    uint32_t type = 0;
    uint16_t bridgePort = 0;

    uint32_t Id() const { return vendorId << 16 | (productId & 0xFFFF); }
};

struct TStandInConfig {
    std::vector<TStandInDevice> devices;
    std::map<std::string, uint32_t> failures;
    std::set<std::string> faults;
    std::optional<uint32_t> listCount;

    // The injected status of a function, if any.
    std::optional<uint32_t> FailureOf(const std::string& function) const;
    bool Faults(const std::string& function) const { return faults.count(function) != 0; }

    static TStandInConfig Parse(const std::string& text);
};

// The configuration as the file holds it now.
TStandInConfig CurrentStandInConfig();
