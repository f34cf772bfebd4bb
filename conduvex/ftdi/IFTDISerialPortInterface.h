#pragma once
// The interface of a converter link: the serial interface plus the device's identity and
// its driver handle.
#include "ftdi/Ftd2xx.h"
#include "serial/SerialPortCoreInterface.h"

#include <cstdint>
#include <string>

// {CBFAE6C0-8E72-4D7F-8C51-C36038E6F5F5}
inline constexpr GUID IID_IFTDISerialPortInterface = {
    0xCBFAE6C0, 0x8E72, 0x4D7F, {0x8C, 0x51, 0xC3, 0x60, 0x38, 0xE6, 0xF5, 0xF5}};

struct IFTDISerialPortInterface : public virtual ISerialPortInterface {
    virtual std::string GetSerialNumber() = 0;
    virtual std::string GetDeviceDescription() = 0;
    virtual int32_t GetDeviceIndex() = 0;
    virtual std::string GetDeviceName() = 0;
    virtual ftd2xx::TFtHandle GetFTHandle() = 0;
    // Announces arrived data; the reader thread calls it.
    virtual void NotifyDataReceived() = 0;
    virtual bool EraseEE() = 0;
};
