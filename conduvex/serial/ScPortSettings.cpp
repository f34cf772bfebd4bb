#include "serial/ScPortSettings.h"

#include "ConduvexError.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr uint32_t kBinaryMode = 0x1;
constexpr uint32_t kDtrOn = 0x10;
constexpr uint32_t kRtsOn = 0x1000;

constexpr std::array<uint32_t, 4> kFlowControlMasks{
    0,      // fwNone
    0x300,  // fwXOnXOff: output and input XON/XOFF
    0x2004, // fwRtsCts: CTS output flow, RTS handshake
    0x28,   // fwDtrDsr: DSR output flow, DTR handshake
};

constexpr std::array<uint32_t, kScComOptionCount> kOptionMasks{
    0x2,    // coParityCheck
    0x40,   // coDsrSensitivity
    0x80,   // coIgnoreXOff: transmit continues on XOFF
    0x400,  // coErrorChar
    0x800,  // coStripNull
    0x4000, // coBreakControl: abort on error
};

constexpr std::array<uint8_t, 5> kByteSizes{4, 5, 6, 7, 8};

// The flag word follows the length and rate fields.
constexpr size_t kFlagsOffset = 8;
static_assert(sizeof(DCB) == 28, "the device control block is 28 bytes");

template <class Enum, size_t N, class Value>
Enum IndexOf(const std::array<Value, N>& table, Value value, Enum fallback)
{
    const auto found = std::find(table.begin(), table.end(), value);
    return found == table.end() ? fallback : static_cast<Enum>(found - table.begin());
}

TScFlowControl FlowControlOf(uint32_t flags)
{
    for (const auto flow : {TScFlowControl::fwDtrDsr, TScFlowControl::fwRtsCts, TScFlowControl::fwXOnXOff}) {
        const uint32_t mask = kFlowControlMasks[static_cast<size_t>(flow)];
        if ((flags & mask) == mask)
            return flow;
    }
    return TScFlowControl::fwNone;
}

} // namespace

uint32_t ScBaudValue(const TScPortSettings& settings)
{
    if (settings.baudRate == TScBaudrate::brUser)
        return settings.userBaudRate;
    return kScBaudRates[static_cast<size_t>(settings.baudRate)];
}

DCB BuildDcb(const TScPortSettings& settings)
{
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = ScBaudValue(settings);
    dcb.ByteSize = kByteSizes[static_cast<size_t>(settings.databits)];
    dcb.Parity = static_cast<BYTE>(settings.parity);
    dcb.StopBits = static_cast<BYTE>(settings.stopbits);
    dcb.XonChar = settings.xonChar;
    dcb.XoffChar = settings.xoffChar;
    dcb.XonLim = settings.xonLim;
    dcb.XoffLim = settings.xoffLim;
    uint32_t flags = kBinaryMode | kFlowControlMasks[static_cast<size_t>(settings.flowControl)];
    for (size_t option = 0; option < kScComOptionCount; ++option) {
        if (settings.options.test(option))
            flags |= kOptionMasks[option];
    }
    if (settings.dtr && settings.flowControl != TScFlowControl::fwDtrDsr)
        flags |= kDtrOn;
    if (settings.rts && settings.flowControl != TScFlowControl::fwRtsCts)
        flags |= kRtsOn;
    SetDcbFlags(dcb, flags);
    return dcb;
}

TScPortSettings SettingsFromDcb(const DCB& dcb, const TScPortSettings& current)
{
    TScPortSettings settings = current;
    settings.baudRate = IndexOf(kScBaudRates, static_cast<uint32_t>(dcb.BaudRate), TScBaudrate::brUser);
    settings.userBaudRate = settings.baudRate == TScBaudrate::brUser ? dcb.BaudRate : 0;
    settings.databits = IndexOf(kByteSizes, static_cast<uint8_t>(dcb.ByteSize), TScDatabits::db8);
    settings.parity = dcb.Parity <= static_cast<BYTE>(TScParity::paSpace) ? static_cast<TScParity>(dcb.Parity)
                                                                           : TScParity::paNone;
    settings.stopbits = dcb.StopBits <= static_cast<BYTE>(TScStopbits::sbTwo)
                            ? static_cast<TScStopbits>(dcb.StopBits)
                            : TScStopbits::sbOne;
    const uint32_t flags = DcbFlags(dcb);
    settings.flowControl = FlowControlOf(flags);
    settings.options.reset();
    for (size_t option = 0; option < kScComOptionCount; ++option)
        settings.options.set(option, (flags & kOptionMasks[option]) != 0);
    settings.xonChar = dcb.XonChar;
    settings.xoffChar = dcb.XoffChar;
    settings.xonLim = dcb.XonLim;
    settings.xoffLim = dcb.XoffLim;
    return settings;
}

uint32_t DcbFlags(const DCB& dcb)
{
    uint32_t flags = 0;
    std::memcpy(&flags, reinterpret_cast<const uint8_t*>(&dcb) + kFlagsOffset, sizeof flags);
    return flags;
}

void SetDcbFlags(DCB& dcb, uint32_t flags)
{
    std::memcpy(reinterpret_cast<uint8_t*>(&dcb) + kFlagsOffset, &flags, sizeof flags);
}

double CharTimeMs(uint32_t baud)
{
    if (baud == 0)
        throw EConduvexError("Floating point division by zero");
    return 1000.0 / baud * 10.0;
}

uint16_t ClampXLimit(int64_t value)
{
    return static_cast<uint16_t>(std::clamp<int64_t>(value, 0, std::numeric_limits<uint16_t>::max()));
}
