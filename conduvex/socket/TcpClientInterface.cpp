#include "socket/TcpClientInterface.h"

#include "runtime/MessageWindow.h"
#include "dialogs/TCPIPDialog.h"
#include "Ticks.h"

namespace {

constexpr uint32_t kConnectWaitMs = 1500;
constexpr DWORD kConnectStepMs = 10;

// Holds a link's interface lock for a scope.
class TLinkLockScope {
public:
    explicit TLinkLockScope(ICommunicationInterface& link) : link_(link) { link_.Lock(); }
    ~TLinkLockScope() { link_.Unlock(); }
    TLinkLockScope(const TLinkLockScope&) = delete;
    TLinkLockScope& operator=(const TLinkLockScope&) = delete;

private:
    ICommunicationInterface& link_;
};

} // namespace

TTCPClientInterface::TTCPClientInterface(const std::string& connectionString) : socket_(*this)
{
    if (!connectionString.empty())
        SetConnectionString(connectionString);
}

TTCPClientInterface::TTCPClientInterface(const std::string& host, uint16_t port)
    : socket_(*this)
{
    socket_.SetHost(host);
    socket_.SetPort(port);
}

void* TTCPClientInterface::FindInterface(REFIID iid)
{
    if (IsEqualIID(iid, IID_ITCPClientInterface))
        return static_cast<ITCPClientInterface*>(this);
    return TSockClientCoreInterface::FindInterface(iid);
}

bool TTCPClientInterface::IsActive()
{
    return socket_.Connected();
}

bool TTCPClientInterface::Open()
{
    TCommunicationInterface::Open();
    if (socket_.Connected() || connecting_)
        return socket_.Connected();
    // A message run below may hand the host's last reference back.
    const TIntfPtr<ITCPClientInterface> keepAlive(this);
    connecting_ = true;
    try {
        socket_.StartConnect();
        WaitForConnection();
    } catch (...) {
        connecting_ = false;
        throw;
    }
    connecting_ = false;
    return socket_.Connected();
}

void TTCPClientInterface::WaitForConnection()
{
    const TTickDeadline deadline(GetTickCount(), kConnectWaitMs);
    while (connecting_ && !socket_.Connected() && !deadline.Passed(GetTickCount())) {
        Sleep(kConnectStepMs);
        ProcessPendingMessages();
    }
}

bool TTCPClientInterface::Close()
{
    socket_.Close();
    return !socket_.Connected();
}

int32_t TTCPClientInterface::Write(const std::string& bytes)
{
    Trace(1, bytes);
    socket_.Send(bytes);
    return static_cast<int32_t>(bytes.size());
}

std::string TTCPClientInterface::Read()
{
    const TLinkLockScope lock(*this);
    std::string bytes = socket_.ReceiveAll();
    Trace(2, bytes);
    return bytes;
}

std::string TTCPClientInterface::ReadWaiting()
{
    const TLinkLockScope lock(*this);
    std::string bytes = socket_.ReceiveTakenOrWaiting();
    if (!bytes.empty())
        Trace(2, bytes);
    return bytes;
}

int32_t TTCPClientInterface::ReadLength()
{
    return static_cast<int32_t>(socket_.ReceiveLength());
}

bool TTCPClientInterface::WaitForNewBytes(uint32_t maxMs)
{
    return socket_.WaitForInput(maxMs);
}

bool TTCPClientInterface::BeginAnswerWait()
{
    return socket_.ArmReceive();
}

void TTCPClientInterface::EndAnswerWait()
{
    socket_.DisarmReceive();
}

std::string TTCPClientInterface::GetID()
{
    return "TCPC " + GetHost() + ":" + std::to_string(GetPort());
}

std::string TTCPClientInterface::GetConnectionString()
{
    return "provider=TCP_CLIENT;host=" + GetHost() + ";port=" + std::to_string(GetPort());
}

void TTCPClientInterface::SetConnectionString(const std::string& text)
{
    TCommunicationInterface::SetConnectionString(text);
    const TParamSet settings = SplitSettings(text);
    const std::optional<std::string> host = settings.GetValue("host");
    const std::optional<std::string> portText = settings.GetValue("port");
    // Checked before anything changes, so a bad port leaves the link as it was.
    const uint16_t port = portText ? PortFromText(*portText) : 0;
    bool active = IsActive();
    SetActive(false);
    if (host)
        socket_.SetHost(*host);
    if (portText)
        socket_.SetPort(port);
    if (const std::optional<std::string> activeText = settings.GetValue("active"))
        active = IsTrueText(*activeText);
    SetActive(active);
    DoConfigChanged();
}

void TTCPClientInterface::SetValid(bool valid)
{
    TCommunicationInterface::SetValid(valid);
    if (!valid)
        Close();
}

// "Nastavení TCP" in the code page of the dialog's captions.
constexpr char kTcpDialogCaption[] = "Nastaven\xED TCP";

bool TTCPClientInterface::ExecuteConfigDialog()
{
    std::string host = GetHost();
    uint16_t port = GetPort();
    if (!ShowTCPDialog(kTcpDialogCaption, host, port))
        return false;
    SetHost(host);
    SetPort(port);
    DoConfigChanged();
    return true;
}

bool TTCPClientInterface::ConfigDialogAvailable()
{
    return true;
}

std::string TTCPClientInterface::GetHost()
{
    return socket_.Host();
}

void TTCPClientInterface::SetHost(const std::string& host)
{
    socket_.SetHost(host);
    DoConfigChanged();
}

uint16_t TTCPClientInterface::GetPort()
{
    return socket_.Port();
}

void TTCPClientInterface::SetPort(uint16_t port)
{
    socket_.SetPort(port);
    DoConfigChanged();
}

uint16_t TTCPClientInterface::GetLocalPort()
{
    return socket_.LocalPort();
}

void TTCPClientInterface::SocketConnected()
{
    const TIntfPtr<ITCPClientInterface> keepAlive(this);
    connecting_ = false;
    DoOpen();
}

void TTCPClientInterface::SocketDataArrived()
{
    const TIntfPtr<ITCPClientInterface> keepAlive(this);
    DoDataReceived();
}

void TTCPClientInterface::SocketDisconnected()
{
    const TIntfPtr<ITCPClientInterface> keepAlive(this);
    connecting_ = false;
    DoClose();
}

void TTCPClientInterface::SocketFailed(std::exception_ptr fault)
{
    const TIntfPtr<ITCPClientInterface> keepAlive(this);
    connecting_ = false;
    AnnounceFaultClose(fault);
}

void TTCPClientInterface::SocketConnectFailed(int)
{
    connecting_ = false;
}
