#include "links/CreateCommInterface.h"

#include "api/ApiFrame.h"
#include "ConnectionString.h"
#include "HostMemory.h"
#include "ftdi/FTDIDevice.h"
#include "ftdi/FtdiDeviceLookup.h"
#include "serial/SerialPortInterface.h"
#include "socket/TcpClientInterface.h"
#include "socket/UdpClientInterface.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace {

using TLinkPtr = TIntfPtr<ICommunicationInterface>;
using TLinkBuilder = TLinkPtr (*)(const TConnectionString& settings);

constexpr char kDefaultHost[] = "127.0.0.1";
constexpr uint64_t kDefaultComPort = 1;

[[noreturn]] void Refuse(uint32_t code, const std::string& text)
{
    throw EConduvexError(text, code);
}

std::string UpperCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    });
    return text;
}

// As a setting's boolean, except that an empty value is false.
bool BooleanOf(const std::string& text)
{
    return !text.empty() && SettingToBool(text);
}

uint8_t ByteOf(int32_t value)
{
    if (value < 0 || value > 255)
        throw EConduvexError("Range check error");
    return static_cast<uint8_t>(value);
}

uint16_t RemotePort(const TConnectionString& settings)
{
    const std::optional<std::string> port = settings.GetValue("PORT");
    if (!port)
        Refuse(kErrBadConnectionString, "PORT was not specified.");
    return TSockClientCoreInterface::PortFromText(*port);
}

std::string RemoteHost(const TConnectionString& settings)
{
    return settings.GetValueDef("HOST", kDefaultHost);
}

TLinkPtr BuildTcpLink(const TConnectionString& settings)
{
    const uint16_t port = RemotePort(settings);
    return MakeObject<TTCPClientInterface>(RemoteHost(settings), port);
}

TLinkPtr BuildUdpLink(const TConnectionString& settings)
{
    const uint16_t port = RemotePort(settings);
    return MakeObject<TUDPClientInterface>(RemoteHost(settings), port, uint16_t{0});
}

// The serial keys a host may add; each present one is applied, in this order, with the
// link's current value standing in for a value that does not convert.
void ApplySerialKeys(ISerialPortInterface& link, const TConnectionString& settings)
{
    if (settings.HasParam("BAUDRATE"))
        link.SetBaudRate(static_cast<uint32_t>(
            settings.GetInt("BAUDRATE", static_cast<int32_t>(link.GetBaudRate()))));
    if (settings.HasParam("DATABITS"))
        link.SetDataBits(ByteOf(settings.GetInt("DATABITS", link.GetDataBits())));
    if (settings.HasParam("RTS"))
        link.SetRTS(settings.GetBool("RTS", link.GetRTS()));
    if (settings.HasParam("DTR"))
        link.SetDTR(settings.GetBool("DTR", link.GetDTR()));
}

TLinkPtr BuildSerialLink(const TConnectionString& settings)
{
    if (!settings.HasParam("COMPORT") && !settings.HasParam("PORTNAME"))
        Refuse(kErrBadConnectionString, "COMPORT was not specified.");
    const uint64_t number =
        TSerialPortInterface::PortNumberOf(settings.GetText()).value_or(kDefaultComPort);
    const auto link = MakeObject<TSerialPortInterface>("COM" + std::to_string(number));
    ApplySerialKeys(*link, settings);
    return link;
}

// The lookup raises "Library ftd2xx.dll was not loaded." without the driver, and its own
// error when no converter matches.
TLinkPtr BuildFtdiLink(const TConnectionString& settings)
{
    const int32_t index = FindFtdiDeviceIndex(settings);
    const auto link = MakeObject<TFTDIDevice>(index, std::string());
    ApplySerialKeys(*link, settings);
    return link;
}

struct TProviderRow {
    const char* name;
    const char* alias;
    TLinkBuilder build;
};

constexpr TProviderRow kProviders[] = {
    {"TCP", "TCP_CLIENT", &BuildTcpLink},
    {"UDP", "UDP_CLIENT", &BuildUdpLink},
    {"COM", "SERIAL_PORT", &BuildSerialLink},
    {"FTD", "FTD_USB", &BuildFtdiLink},
};

TLinkBuilder BuilderOf(const std::string& provider)
{
    for (const TProviderRow& row : kProviders) {
        if (provider == row.name || provider == row.alias)
            return row.build;
    }
    Refuse(kErrBadConnectionString, "Inknown provider " + provider + ".");
}

void RegisterNotifications(uint32_t handle, HWND window, UINT message,
                           TCiNotifyCallback callback, bool send, uint32_t userData)
{
    if (window && message != 0)
        GlobalHandles().RegisterMsgNotifications(handle, window, message, send);
    if (callback)
        GlobalHandles().RegisterCallBackNotifications(handle, callback, userData);
}

} // namespace

uint32_t CreateCommInterface(const char* text, HWND window, UINT message,
                             TCiNotifyCallback callback, bool send, uint32_t userData)
{
    uint32_t handle = 0;
    try {
        ClearError();
        const TConnectionString settings(HostText(text));
        const std::string provider = UpperCase(settings.GetValueDef("Provider", ""));
        const TLinkPtr link = BuilderOf(provider)(settings);
        handle = GlobalHandles().AddCommInterface(link.Get());
        if (handle == 0)
            return 0;
        RegisterNotifications(handle, window, message, callback, send, userData);
        if (const std::optional<std::string> active = settings.GetValue("ACTIVE"))
            link->SetActive(BooleanOf(*active));
    } catch (...) {
        ReportCaughtException();
    }
    return handle;
}
