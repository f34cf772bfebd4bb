#pragma once
// tools/module_sim.py for a test: started on a pty that it links as a COM port of the Wine
// prefix, or on a TCP listener and a UDP socket on 127.0.0.1, driven through its control
// port, stopped with the test. The socket functions are looked up at run time, so that the
// test program needs no socket library.
#include <winsock2.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

class TModuleSimulator {
public:
    // Chooses the constructor that opens a TCP listener and a UDP socket instead of a pty.
    struct TSocketChannels {};
    static constexpr TSocketChannels kSockets{};

    // `options` are the simulator's module options ("--modules 3,4 ..."). It ends by itself
    // after five minutes should the test never stop it.
    TModuleSimulator(int comPort, const std::string& options) : comPort_(comPort)
    {
        char prefix[MAX_PATH] = {};
        if (GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH) == 0) {
            failure_ = "WINEPREFIX is not set";
            return;
        }
        Start("--link " + std::string(prefix) + "/dosdevices/com" + std::to_string(comPort), options);
    }

    TModuleSimulator(TSocketChannels, const std::string& options) : comPort_(0) { Start("--tcp 0 --udp 0", options); }

    ~TModuleSimulator()
    {
        if (controlPort_ != 0)
            Command("quit");
        DeleteFileA(WindowsPath(startFile_).c_str());
    }

    TModuleSimulator(const TModuleSimulator&) = delete;
    TModuleSimulator& operator=(const TModuleSimulator&) = delete;

    // Empty when the simulator runs; otherwise why it does not.
    const std::string& Failure() const { return failure_; }

    std::string ConnectionString(int baudRate = 115200) const
    {
        return "provider=COM;comport=" + std::to_string(comPort_) + ";baudrate=" + std::to_string(baudRate);
    }

    // The socket channels' ports (0 without them).
    int TcpPort() const { return tcpPort_; }
    int UdpPort() const { return udpPort_; }
    std::string TcpConnectionString() const
    {
        return "provider=TCP_CLIENT;host=127.0.0.1;port=" + std::to_string(tcpPort_);
    }
    std::string UdpConnectionString() const
    {
        return "provider=UDP_CLIENT;host=127.0.0.1;port=" + std::to_string(udpPort_);
    }

    // A loopback TCP port nobody listens on: bound once, then released. 0 when none.
    static int RefusingTcpPort()
    {
        TSockets& sockets = Sockets();
        if (!sockets.loaded)
            return 0;
        const SOCKET probe = sockets.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = Loopback(0);
        int size = sizeof(address);
        int port = 0;
        if (sockets.bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
            sockets.getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port = sockets.ntohs(address.sin_port);
        sockets.closesocket(probe);
        return port;
    }

    // One control command; its answer line without the line end ("OK ..." or "ERR ...").
    std::string Command(const std::string& line)
    {
        TSockets& sockets = Sockets();
        if (!sockets.loaded)
            return "ERR no sockets";
        const SOCKET connection = sockets.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = Loopback(controlPort_);
        std::string answer;
        if (sockets.connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
            const std::string request = line + "\n";
            sockets.send(connection, request.data(), static_cast<int>(request.size()), 0);
            char byte = 0;
            while (sockets.recv(connection, &byte, 1, 0) == 1 && byte != '\n')
                answer += byte;
        }
        sockets.closesocket(connection);
        return answer.empty() ? "ERR no answer" : answer;
    }

private:
    struct TSockets {
        bool loaded = false;
        decltype(&::socket) socket = nullptr;
        decltype(&::connect) connect = nullptr;
        decltype(&::send) send = nullptr;
        decltype(&::recv) recv = nullptr;
        decltype(&::closesocket) closesocket = nullptr;
        decltype(&::htons) htons = nullptr;
        decltype(&::ntohs) ntohs = nullptr;
        decltype(&::inet_addr) inet_addr = nullptr;
        decltype(&::bind) bind = nullptr;
        decltype(&::getsockname) getsockname = nullptr;
    };

    static sockaddr_in Loopback(int port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = Sockets().htons(static_cast<u_short>(port));
        address.sin_addr.s_addr = Sockets().inet_addr("127.0.0.1");
        return address;
    }

    template <class F>
    static void Find(HMODULE library, const char* name, F& slot)
    {
        slot = reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
    }

    static TSockets& Sockets()
    {
        static TSockets sockets = [] {
            TSockets found;
            const HMODULE library = LoadLibraryA("ws2_32.dll");
            auto startup = reinterpret_cast<decltype(&::WSAStartup)>(
                reinterpret_cast<void (*)()>(GetProcAddress(library, "WSAStartup")));
            WSADATA data;
            if (!startup || startup(MAKEWORD(2, 2), &data) != 0)
                return found;
            Find(library, "socket", found.socket);
            Find(library, "connect", found.connect);
            Find(library, "send", found.send);
            Find(library, "recv", found.recv);
            Find(library, "closesocket", found.closesocket);
            Find(library, "htons", found.htons);
            Find(library, "ntohs", found.ntohs);
            Find(library, "inet_addr", found.inet_addr);
            Find(library, "bind", found.bind);
            Find(library, "getsockname", found.getsockname);
            found.loaded = found.socket && found.connect && found.send && found.recv && found.closesocket &&
                           found.htons && found.ntohs && found.inet_addr && found.bind && found.getsockname;
            return found;
        }();
        return sockets;
    }

    void Start(const std::string& channels, const std::string& options)
    {
        startFile_ = "/tmp/iobrant-module-sim-" + std::to_string(GetCurrentProcessId()) + "-" +
                     std::to_string(NextNumber()) + ".json";
        DeleteFileA(WindowsPath(startFile_).c_str());
        std::string command = "/bin/sh -c \"exec timeout 300 python3 " + SourceRoot() + "tools/module_sim.py " +
                              channels + " --control 0 " + options + " > " + startFile_ + " 2>/dev/null\"";
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            failure_ = "cannot start the simulator";
            return;
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        if (!WaitForStartLine())
            failure_ = "the simulator did not start";
    }

    static int NextNumber()
    {
        static int number = 0;
        return ++number;
    }

    // The source tree, from where this header lies.
    static std::string SourceRoot()
    {
        const std::string file = __FILE__;
        return file.substr(0, file.rfind("tests/support/"));
    }

    static std::string WindowsPath(const std::string& unixPath)
    {
        std::string path = "Z:" + unixPath;
        for (char& c : path)
            c = c == '/' ? '\\' : c;
        return path;
    }

    // The simulator prints {"tcp": PORT, "udp": PORT, "control": PORT, ...} once it is ready.
    bool WaitForStartLine()
    {
        for (int attempt = 0; attempt < 200; ++attempt) {
            std::stringstream text;
            text << std::ifstream(WindowsPath(startFile_)).rdbuf();
            const std::string line = text.str();
            if (line.find('\n') != std::string::npos) {
                controlPort_ = PortIn(line, "control");
                tcpPort_ = PortIn(line, "tcp");
                udpPort_ = PortIn(line, "udp");
                return controlPort_ != 0;
            }
            Sleep(50);
        }
        return false;
    }

    // The number after "key": in the start line; 0 when the key is missing.
    static int PortIn(const std::string& line, const std::string& key)
    {
        const std::string quoted = "\"" + key + "\":";
        const size_t at = line.find(quoted);
        return at == std::string::npos ? 0 : std::stoi(line.substr(at + quoted.size()));
    }

    int comPort_;
    std::string startFile_;
    int controlPort_ = 0;
    int tcpPort_ = 0;
    int udpPort_ = 0;
    std::string failure_;
};
