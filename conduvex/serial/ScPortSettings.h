#pragma once
// The settings of a serial port component and their translation to and from the
// platform's 28-byte device control block.
#include <windows.h>

#include <array>
#include <bitset>
#include <cstdint>

enum class TScBaudrate : uint8_t {
    br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200, br38400,
    br56000, br57600, br115200, br128000, br230400, br256000, br460800, br921600, brUser,
};
enum class TScParity : uint8_t { paNone, paOdd, paEven, paMark, paSpace };
enum class TScDatabits : uint8_t { db4, db5, db6, db7, db8 };
enum class TScStopbits : uint8_t { sbOne, sbOneAndHalf, sbTwo };
enum class TScFlowControl : uint8_t { fwNone, fwXOnXOff, fwRtsCts, fwDtrDsr };
enum class TScComOption : uint8_t {
    coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coStripNull, coBreakControl,
};
inline constexpr size_t kScComOptionCount = 6;
using TScComOptions = std::bitset<kScComOptionCount>;

inline TScComOptions& Include(TScComOptions& options, TScComOption option)
{
    return options.set(static_cast<size_t>(option));
}

// Rate programmed into the device and reported back for each TScBaudrate; brUser has 0
// (the user rate is used instead).
inline constexpr std::array<uint32_t, 19> kScBaudRates{
    110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400,
    56000, 57600, 115200, 128000, 230400, 256000, 460800, 921600, 0,
};

struct TScPortSettings {
    TScBaudrate baudRate = TScBaudrate::br115200;
    uint32_t userBaudRate = 0;
    TScDatabits databits = TScDatabits::db8;
    TScParity parity = TScParity::paNone;
    TScStopbits stopbits = TScStopbits::sbOne;
    TScFlowControl flowControl = TScFlowControl::fwNone;
    TScComOptions options;
    bool dtr = true;
    bool rts = true;
    char xonChar = 17;
    char xoffChar = 19;
    uint16_t xonLim = 0;
    uint16_t xoffLim = 0;
};

// The rate the settings program: the user rate for brUser, else the table's.
uint32_t ScBaudValue(const TScPortSettings& settings);
DCB BuildDcb(const TScPortSettings& settings);
// The settings a block describes; DTR and RTS stay as in `current`.
TScPortSettings SettingsFromDcb(const DCB& dcb, const TScPortSettings& current);
// The flag word of the block (binary mode, parity check, flow control, DTR and RTS control...).
uint32_t DcbFlags(const DCB& dcb);
void SetDcbFlags(DCB& dcb, uint32_t flags);
// Milliseconds per character of 10 bits; a rate of 0 raises.
double CharTimeMs(uint32_t baud);
// XOn/XOff limits are 16-bit: an input queue larger than that gives the largest limit.
uint16_t ClampXLimit(int64_t value);
