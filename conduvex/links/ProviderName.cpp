#include "links/ProviderName.h"

#include "ftdi/IFTDISerialPortInterface.h"
#include "serial/SerialPortCoreInterface.h"
#include "socket/TcpClientInterface.h"
#include "socket/UdpClientInterface.h"

namespace {

struct TProviderInterface {
    const GUID* iid;
    const char* name;
};

// In asking order; a row for each provider interface.
constexpr TProviderInterface kProviderInterfaces[] = {
    {&IID_IUDPClientInterface, "UDP_CLIENT"},
    {&IID_ITCPClientInterface, "TCP_CLIENT"},
    {&IID_ISerialPortInterface, "SERIAL_PORT"},
    {&IID_IFTDISerialPortInterface, "FTD_USB"},
};

} // namespace

std::string ProviderNameOf(ICommunicationInterface& link)
{
    std::string name = "<unknown>";
    for (const TProviderInterface& provider : kProviderInterfaces) {
        if (Supports(&link, *provider.iid))
            name = provider.name;
    }
    return name;
}
