#pragma once
// The TCP client link (provider "TCP_CLIENT"): one non-blocking connection whose
// notifications reach the thread that opened it through its message loop.
#include "socket/SockClientCoreInterface.h"
#include "socket/TcpClientSocket.h"

#include <cstdint>
#include <string>

// {6B699CD5-BA76-420E-876E-C9F7B8903638}
inline constexpr GUID IID_ITCPClientInterface = {
    0x6B699CD5, 0xBA76, 0x420E, {0x87, 0x6E, 0xC9, 0xF7, 0xB8, 0x90, 0x36, 0x38}};

struct ITCPClientInterface : public virtual ISockClientInterface {};

class TTCPClientInterface : public TSockClientCoreInterface,
                            public virtual ITCPClientInterface,
                            private TTcpSocketListener {
public:
    // Keys "host", "port" (1..65535) and "active" ("TRUE" in any case or "1").
    explicit TTCPClientInterface(const std::string& connectionString);
    // Host and port as given; the port is expected checked (CheckedPort).
    TTCPClientInterface(const std::string& host, uint16_t port);

    bool IsActive() override;
    // Connects, waiting up to 1500 ms while running this thread's messages.
    bool Open() override;
    bool Close() override;
    // Output the socket cannot take at once is queued, none is dropped. Raises when there
    // is no connection.
    int32_t Write(const std::string& bytes) override;
    std::string Read() override;
    int32_t ReadLength() override;
    std::string GetID() override;
    std::string GetConnectionString() override;
    void SetConnectionString(const std::string& text) override;
    void SetValid(bool valid) override;
    // The TCP settings dialog; on OK the host and port it gives.
    bool ExecuteConfigDialog() override;
    bool ConfigDialogAvailable() override;

    std::string GetHost() override;
    void SetHost(const std::string& host) override;
    uint16_t GetPort() override;
    void SetPort(uint16_t port) override;
    uint16_t GetLocalPort() override;

    std::string ClassName() const override { return "TTCPClientInterface"; }

    // A receive is ready on the exchange's thread from before its request.
    bool BeginAnswerWait() override;
    void EndAnswerWait() override;

    // Bytes written but not yet taken by the socket.
    size_t UnsentLength() { return socket_.UnsentLength(); }

protected:
    // Closes the connection without announcing it.
    ~TTCPClientInterface() override = default;

    void* FindInterface(REFIID iid) override;

    // A receive on the socket, waited for.
    bool WaitForNewBytes(uint32_t maxMs) override;
    // Read's bytes without a look at the socket when some were already taken in.
    std::string ReadWaiting() override;

private:
    void SocketConnected() override;
    void SocketDataArrived() override;
    void SocketDisconnected() override;
    void SocketConnectFailed(int error) override;
    void SocketFailed(std::exception_ptr fault) override;
    void WaitForConnection();

    TTcpClientSocket socket_;
    bool connecting_ = false;
};
