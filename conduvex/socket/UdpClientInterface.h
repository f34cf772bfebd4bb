#pragma once
// The UDP client link (provider "UDP_CLIENT"): datagrams to and from one remote host and
// port. A read gives every datagram received since the last one, run together in order.
#include "socket/MySocket.h"
#include "socket/SockClientCoreInterface.h"

#include <cstdint>
#include <string>

// {6947C284-5D37-4E38-9858-314BB78A881B}
inline constexpr GUID IID_IUDPClientInterface = {
    0x6947C284, 0x5D37, 0x4E38, {0x98, 0x58, 0x31, 0x4B, 0xB7, 0x8A, 0x88, 0x1B}};

struct IUDPClientInterface : public virtual ISockClientInterface {};

// The largest datagram UDP over IPv4 carries.
inline constexpr size_t kLargestUdpPayload = 65507;

class TUDPClientInterface : public TSockClientCoreInterface,
                            public virtual IUDPClientInterface {
public:
    // Keys "host" (dotted IPv4) and "port" (1..65535).
    explicit TUDPClientInterface(const std::string& connectionString);
    // Host, port and local port (0 = any) as given; the port is expected checked.
    TUDPClientInterface(const std::string& host, uint16_t port, uint16_t localPort);

    bool IsActive() override;
    // Raises TPacketException when the socket cannot be made or connected.
    bool Open() override;
    bool Close() override;
    // Queued for the sender thread. Raises TPacketException when the link is closed or
    // the datagram is larger than UDP carries.
    int32_t Write(const std::string& bytes) override;
    std::string Read() override;
    int32_t ReadLength() override;
    std::string GetID() override;
    std::string GetConnectionString() override;
    void SetConnectionString(const std::string& text) override;
    void SetValid(bool valid) override;
    // The UDP settings dialog; on OK the host, port and local port it gives.
    bool ExecuteConfigDialog() override;
    bool ConfigDialogAvailable() override;

    std::string GetHost() override;
    void SetHost(const std::string& host) override;
    uint16_t GetPort() override;
    void SetPort(uint16_t port) override;
    uint16_t GetLocalPort() override;
    void SetLocalPort(uint16_t port) override;

    std::string ClassName() const override { return "TUDPClientInterface"; }

protected:
    // Stops the threads and closes the socket without announcing it.
    ~TUDPClientInterface() override = default;

    void* FindInterface(REFIID iid) override;
    // Woken by the receiver thread.
    bool WaitForNewBytes(uint32_t maxMs) override;

private:
    void BindSocketEvents();
    // Held while announcing, so a listener that drops the last reference cannot free the
    // link under its own announcement.
    TIntfPtr<IUDPClientInterface> KeepAlive() { return this; }

    TMySocket socket_;
};
