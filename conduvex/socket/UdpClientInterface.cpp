#include "socket/UdpClientInterface.h"

#include "socket/PacketException.h"
#include "dialogs/TCPIPDialog.h"

TUDPClientInterface::TUDPClientInterface(const std::string& connectionString)
{
    BindSocketEvents();
    if (!connectionString.empty())
        SetConnectionString(connectionString);
}

TUDPClientInterface::TUDPClientInterface(const std::string& host, uint16_t port,
                                         uint16_t localPort)
{
    BindSocketEvents();
    socket_.SetHost(host);
    socket_.SetPort(port);
    socket_.SetLocalPort(localPort);
}

void TUDPClientInterface::BindSocketEvents()
{
    socket_.SetOnConnectSocket([this] {
        const auto keepAlive = KeepAlive();
        DoOpen();
    });
    socket_.SetOnCloseSocket([this] {
        const auto keepAlive = KeepAlive();
        DoClose();
    });
    socket_.SetOnRead([this] {
        const auto keepAlive = KeepAlive();
        DoDataReceived();
    });
    // Told on a thread of the socket, which a link being freed joins: that link hears nothing.
    socket_.SetOnFailure([this](std::exception_ptr fault) {
        if (!TryAddRef())
            return;
        const auto keepAlive = TIntfPtr<IUDPClientInterface>::Attach(this);
        AnnounceFaultClose(fault);
    });
}

void* TUDPClientInterface::FindInterface(REFIID iid)
{
    if (IsEqualIID(iid, IID_IUDPClientInterface))
        return static_cast<IUDPClientInterface*>(this);
    return TSockClientCoreInterface::FindInterface(iid);
}

bool TUDPClientInterface::IsActive()
{
    return socket_.IsOpen();
}

bool TUDPClientInterface::Open()
{
    TCommunicationInterface::Open();
    socket_.Connect(socket_.LocalPort() != 0);
    Sleep(1);
    return socket_.IsOpen();
}

bool TUDPClientInterface::Close()
{
    socket_.Close();
    return !socket_.IsOpen();
}

int32_t TUDPClientInterface::Write(const std::string& bytes)
{
    Trace(1, bytes);
    if (!socket_.IsOpen())
        throw TPacketException(WSAENOTCONN);
    // The sender would have it refused later, with the write already reported done.
    if (bytes.size() > kLargestUdpPayload)
        throw TPacketException(WSAEMSGSIZE);
    socket_.SendData(bytes);
    return static_cast<int32_t>(bytes.size());
}

std::string TUDPClientInterface::Read()
{
    std::string bytes = socket_.ReadData();
    Trace(2, bytes);
    return bytes;
}

int32_t TUDPClientInterface::ReadLength()
{
    return static_cast<int32_t>(socket_.ReceivedLength());
}

bool TUDPClientInterface::WaitForNewBytes(uint32_t maxMs)
{
    return ReadLength() != 0 || socket_.WaitForArrival(maxMs);
}

std::string TUDPClientInterface::GetID()
{
    return "UDPC " + GetHost() + ":" + std::to_string(GetPort());
}

std::string TUDPClientInterface::GetConnectionString()
{
    return "Host=" + GetHost() + ";Port=" + std::to_string(GetPort());
}

void TUDPClientInterface::SetConnectionString(const std::string& text)
{
    const TParamSet settings = SplitSettings(text);
    const std::optional<std::string> host = settings.GetValue("host");
    const std::optional<std::string> portText = settings.GetValue("port");
    // Checked before anything changes, so a bad port leaves the link as it was.
    const uint16_t port = portText ? PortFromText(*portText) : 0;
    const bool active = IsActive();
    SetActive(false);
    if (host)
        socket_.SetHost(*host);
    if (portText)
        socket_.SetPort(port);
    SetActive(active);
    DoConfigChanged();
}

void TUDPClientInterface::SetValid(bool valid)
{
    TCommunicationInterface::SetValid(valid);
    if (!valid)
        Close();
}

// "Nastavení UDP" in the code page of the dialog's captions.
constexpr char kUdpDialogCaption[] = "Nastaven\xED UDP";

bool TUDPClientInterface::ExecuteConfigDialog()
{
    std::string host = GetHost();
    uint16_t port = GetPort();
    const uint16_t oldLocalPort = socket_.LocalPort();
    uint16_t localPort = oldLocalPort;
    if (!ShowUDPDialog(kUdpDialogCaption, host, port, localPort))
        return false;
    SetHost(host);
    SetPort(port);
    if (localPort != oldLocalPort)
        SetLocalPort(localPort);
    DoConfigChanged();
    return true;
}

bool TUDPClientInterface::ConfigDialogAvailable()
{
    return true;
}

std::string TUDPClientInterface::GetHost()
{
    return socket_.Host();
}

void TUDPClientInterface::SetHost(const std::string& host)
{
    socket_.SetHost(host);
    DoConfigChanged();
}

uint16_t TUDPClientInterface::GetPort()
{
    return socket_.Port();
}

void TUDPClientInterface::SetPort(uint16_t port)
{
    socket_.SetPort(port);
    DoConfigChanged();
}

uint16_t TUDPClientInterface::GetLocalPort()
{
    return socket_.IsOpen() ? socket_.GetLocalPort() : socket_.LocalPort();
}

void TUDPClientInterface::SetLocalPort(uint16_t port)
{
    socket_.SetLocalPort(port);
    DoConfigChanged();
}
