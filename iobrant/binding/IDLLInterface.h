#pragma once
// A Conduvex link seen from inside Iobrant as an ordinary communication interface.
#include "ICommunicationInterface.h"

#include <cstdint>
#include <string>

// {845A05EE-3409-4705-9295-462174023163}
inline constexpr GUID IID_IDLLInterface = {
    0x845A05EE, 0x3409, 0x4705, {0x92, 0x95, 0x46, 0x21, 0x74, 0x02, 0x31, 0x63}};

struct IDLLInterface : public virtual ICommunicationInterface {
    // The link's handle in Conduvex.
    virtual uint32_t GetCIHandle() = 0;
    // Conduvex's provider name of the link ("SERIAL_PORT", "TCP_CLIENT", ...).
    virtual std::string GetProvider() = 0;
};
