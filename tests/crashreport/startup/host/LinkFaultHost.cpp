// A host of Conduvex.dll for the road test of faults on the library's threads and in its window
// procedures: it opens the link its first argument names, makes the fault happen from outside (the
// fault switch of the library's test build, its own faulting callback, the stand-in driver's fault
// switch), closes and releases the link, and writes what it saw into link-fault.txt.
//
//   LinkFaultHost KIND [ARGUMENT]   ARGUMENT: the COM port pair's link port (serial kinds) or the
//                                   converter's serial number (ftdi-reader)
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "conduvex.h"
#include "support/ProcessProbe.h"
#include "support/SerialPeer.h"

namespace {

constexpr DWORD kWaitMs = 10000;
constexpr char kFaultSwitch[] = "CONDUVEX_FAULT_AT";
constexpr char kBytes[] = "fault road";

template <class Function>
Function Bound(HMODULE library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

struct TConduvex {
    explicit TConduvex(HMODULE library)
        : create(Bound<PFN_ciCreateCB>(library, "ciCreateCB")), open(Bound<PFN_ciOpen>(library, "ciOpen")),
          close(Bound<PFN_ciClose>(library, "ciClose")), release(Bound<PFN_ciRelease>(library, "ciRelease")),
          write(Bound<PFN_ciWrite>(library, "ciWrite")),
          configDialog(Bound<PFN_ciExecuteConfigDialog>(library, "ciExecuteConfigDialog")),
          lastError(Bound<PFN_LastError>(library, "LastError")),
          lastErrorText(Bound<PFN_LastErrorText>(library, "LastErrorText"))
    {
    }

    bool Complete() const
    {
        return create && open && close && release && write && configDialog && lastError && lastErrorText;
    }

    std::string LastErrorLine() const
    {
        char text[512] = {};
        int32_t length = sizeof text;
        lastErrorText(text, &length);
        return std::to_string(lastError()) + " " + text;
    }

    PFN_ciCreateCB create;
    PFN_ciOpen open;
    PFN_ciClose close;
    PFN_ciRelease release;
    PFN_ciWrite write;
    PFN_ciExecuteConfigDialog configDialog;
    PFN_LastError lastError;
    PFN_LastErrorText lastErrorText;
};

// What the callback saw. It takes no lock: a callback that faults holds nothing.
const TConduvex* g_conduvex = nullptr;
std::atomic<bool> g_faultingCallback{false};
std::atomic<int> g_dataSeen{0};
std::atomic<int> g_closedSeen{0};
std::atomic<bool> g_hostClosing{false};
std::atomic<bool> g_closedByFault{false};
// The last error as the closed notification found it.
std::string g_errorAtClose;

void CALLBACK Notified(CI_HANDLE, uint32_t kind, uint32_t, uint32_t)
{
    if ((kind & 0xFFFF) == CI_NOTIFY_DATA_RECEIVED && g_dataSeen++ == 0 && g_faultingCallback) {
        volatile int* volatile nowhere = nullptr;
        *nowhere = 1;
    }
    if ((kind & 0xFFFF) == CI_NOTIFY_CLOSED && g_closedSeen++ == 0 && !g_hostClosing) {
        g_errorAtClose = g_conduvex->LastErrorLine();
        g_closedByFault = true;
    }
}

// The link's threads that the process still has: those that came with opening it.
int ThreadsLeft(const std::vector<DWORD>& before, const std::vector<DWORD>& opened)
{
    const std::set<DWORD> earlier(before.begin(), before.end());
    const std::set<DWORD> now = [] {
        const std::vector<DWORD> threads = ThreadIdsOfProcess();
        return std::set<DWORD>(threads.begin(), threads.end());
    }();
    int left = 0;
    for (const DWORD thread : opened)
        left += now.count(thread) && !earlier.count(thread) ? 1 : 0;
    return left;
}

// The other end of a socket link, on this machine.
class TSocketPeer {
public:
    explicit TSocketPeer(int type) : socket_(socket(AF_INET, type, 0))
    {
        sockaddr_in address = Loopback(0);
        bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        int length = sizeof address;
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        if (type == SOCK_STREAM)
            listen(socket_, 1);
    }
    ~TSocketPeer()
    {
        closesocket(accepted_);
        closesocket(socket_);
    }
    TSocketPeer(const TSocketPeer&) = delete;
    TSocketPeer& operator=(const TSocketPeer&) = delete;

    uint16_t Port() const { return port_; }

    // The link's connection, taken on the first send.
    void Send(const char* bytes)
    {
        if (accepted_ == INVALID_SOCKET)
            accepted_ = accept(socket_, nullptr, nullptr);
        send(accepted_, bytes, static_cast<int>(std::strlen(bytes)), 0);
    }

    // Waits for the link's datagram and sends one back to where it came from.
    void Answer()
    {
        char buffer[64];
        sockaddr_in from{};
        int length = sizeof from;
        recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        sendto(socket_, kBytes, sizeof kBytes - 1, 0, reinterpret_cast<sockaddr*>(&from), length);
    }

private:
    static sockaddr_in Loopback(uint16_t port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

    SOCKET socket_;
    SOCKET accepted_ = INVALID_SOCKET;
    uint16_t port_ = 0;
};

// Writes into the COM port's peer end (the link's port + 1).
void WriteSerialPeer(int linkPort)
{
    const std::string name = "\\\\.\\COM" + std::to_string(linkPort + 1);
    const HANDLE peer = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD written = 0;
    WriteFile(peer, kBytes, sizeof kBytes - 1, &written, nullptr);
    CloseHandle(peer);
}

// Switches the stand-in driver's queue query to faulting.
void SwitchDriverFault()
{
    char path[MAX_PATH] = {};
    GetEnvironmentVariableA("FTD2XX_STANDIN_CONFIG", path, sizeof path);
    if (FILE* config = std::fopen(path, "ab")) {
        std::fputs("\n[fault]\nFT_GetQueueStatus=1\n", config);
        std::fclose(config);
    }
}

struct TSession {
    const TConduvex& conduvex;
    CI_HANDLE handle;
    int serialPort;
    TSocketPeer* peer;

    void Write() const { conduvex.write(handle, reinterpret_cast<const uint8_t*>(kBytes), sizeof kBytes - 1); }
};

// How each kind reaches its fault once the link is open: the library's fault switch it sets, and
// what it does then.
struct TKind {
    const char* name;
    const char* faultPoint; // the test build's switch; null: the fault comes from outside it
    int peerType;           // SOCK_STREAM, SOCK_DGRAM or 0
    bool faultingCallback;
    void (*trigger)(const TSession& session);
};

const TKind kKinds[] = {
    {"serial-event", "serial-event", 0, false, [](const TSession&) {}},
    {"serial-write", "serial-write", 0, false, [](const TSession& session) { session.Write(); }},
    {"serial-callback", nullptr, 0, true, [](const TSession& session) { WriteSerialPeer(session.serialPort); }},
    {"udp-send", "udp-send", SOCK_DGRAM, false, [](const TSession& session) { session.Write(); }},
    {"udp-receive", "udp-receive", SOCK_DGRAM, false,
     [](const TSession& session) {
         session.Write();
         session.peer->Answer();
     }},
    {"tcp-window", "message-window", SOCK_STREAM, false, [](const TSession& session) { session.peer->Send(kBytes); }},
    {"tcp-callback", nullptr, SOCK_STREAM, true, [](const TSession& session) { session.peer->Send(kBytes); }},
    {"ftdi-reader", nullptr, 0, false,
     [](const TSession& session) {
         SwitchDriverFault();
         session.Write();
     }},
};

std::string ConnectionOf(const TKind& kind, const char* argument, const TSocketPeer* peer)
{
    if (kind.peerType == SOCK_STREAM)
        return "provider=TCP;host=127.0.0.1;port=" + std::to_string(peer->Port());
    if (kind.peerType == SOCK_DGRAM)
        return "provider=UDP;host=127.0.0.1;port=" + std::to_string(peer->Port());
    if (std::strncmp(kind.name, "ftdi", 4) == 0)
        return std::string("provider=FTD_USB;serial_number=") + argument;
    return std::string("provider=COM;comport=") + argument;
}

struct TOutcome {
    std::string lines;

    void Add(const char* key, const std::string& value) { lines += std::string(key) + "=" + value + "\n"; }
};

// Opens the link, lets the fault happen, waits for what must follow, then closes and releases.
int RunLinkKind(const TConduvex& conduvex, const TKind& kind, const char* argument, TOutcome& outcome)
{
    g_faultingCallback = kind.faultingCallback;
    std::optional<TSocketPeer> socketPeer;
    if (kind.peerType)
        socketPeer.emplace(kind.peerType);
    TSocketPeer* peer = socketPeer ? &*socketPeer : nullptr;
    const std::vector<DWORD> before = ThreadIdsOfProcess();
    const CI_HANDLE handle = conduvex.create(ConnectionOf(kind, argument, peer).c_str(), &Notified, 0);
    if (handle == 0 || conduvex.open(handle) != 0) {
        outcome.Add("open", conduvex.LastErrorLine());
        return 3;
    }
    const std::vector<DWORD> opened = ThreadIdsOfProcess();
    if (kind.faultPoint)
        SetEnvironmentVariableA(kFaultSwitch, kind.faultPoint);
    const TSession session{conduvex, handle, std::atoi(argument ? argument : "0"), peer};
    kind.trigger(session);
    if (kind.faultingCallback) {
        // Survived: the next arrival is told as before.
        PumpMessagesUntil([] { return g_dataSeen > 0; }, kWaitMs);
        kind.trigger(session);
        PumpMessagesUntil([] { return g_dataSeen > 1; }, kWaitMs);
    } else {
        PumpMessagesUntil([] { return g_closedByFault.load(); }, kWaitMs);
    }
    outcome.Add("closed-by-fault", g_closedByFault ? "1" : "0");
    outcome.Add("error-at-close", g_errorAtClose);
    outcome.Add("data-seen", std::to_string(g_dataSeen));
    g_hostClosing = true;
    outcome.Add("close", std::to_string(conduvex.close(handle)));
    outcome.Add("release", std::to_string(conduvex.release(handle)));
    outcome.Add("closed-seen", std::to_string(g_closedSeen));
    outcome.Add("threads-left", std::to_string(ThreadsLeft(before, opened)));
    return 0;
}

// A dialog of the library whose procedure faults as it starts ends as cancelled.
int RunDialog(const TConduvex& conduvex, TOutcome& outcome)
{
    const CI_HANDLE handle = conduvex.create("provider=TCP;host=127.0.0.1;port=1", &Notified, 0);
    SetEnvironmentVariableA(kFaultSwitch, "dialog");
    outcome.Add("dialog", std::to_string(conduvex.configDialog(handle)));
    outcome.Add("release", std::to_string(conduvex.release(handle)));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
    const HMODULE library = LoadLibraryA("Conduvex.dll");
    if (!library)
        return 6;
    const TConduvex conduvex(library);
    if (!conduvex.Complete())
        return 4;
    g_conduvex = &conduvex;
    TOutcome outcome;
    int result = 2;
    if (std::strcmp(argv[1], "dialog") == 0)
        result = RunDialog(conduvex, outcome);
    for (const TKind& kind : kKinds) {
        if (std::strcmp(argv[1], kind.name) == 0)
            result = RunLinkKind(conduvex, kind, argc > 2 ? argv[2] : nullptr, outcome);
    }
    if (FILE* file = std::fopen("link-fault.txt", "wb")) {
        std::fputs(outcome.lines.c_str(), file);
        std::fclose(file);
    }
    return result;
}
