#pragma once
// Shared base of the TCP and UDP client links: remote host and port, local port, and the
// reading of their connection-string values.
#include "CommunicationInterface.h"
#include "ParamSet.h"

#include <cstdint>
#include <string>

// {0BEEB427-CA65-4A48-BF7F-EE22465C2164}
inline constexpr GUID IID_ISockClientInterface = {
    0x0BEEB427, 0xCA65, 0x4A48, {0xBF, 0x7F, 0xEE, 0x22, 0x46, 0x5C, 0x21, 0x64}};

struct ISockClientInterface : public virtual ICommunicationInterface {
    virtual std::string GetHost() = 0;
    virtual void SetHost(const std::string& host) = 0;
    virtual uint16_t GetPort() = 0;
    virtual void SetPort(uint16_t port) = 0;
    virtual uint16_t GetLocalPort() = 0;
    virtual void SetLocalPort(uint16_t port) = 0;
};

// Message of a remote port outside 1..65535 (code 0x20000006).
inline constexpr char kPortOutOfRangeText[] = "PORT is out of range 1..65535.";

class TSockClientCoreInterface : public TCommunicationInterface,
                                 public virtual ISockClientInterface {
public:
    uint16_t GetLocalPort() override;
    void SetLocalPort(uint16_t port) override;

    // A remote port as a connection string or a creator gives it: 1..65535, else
    // EConduvexError with code 0x20000006 and kPortOutOfRangeText.
    static uint16_t CheckedPort(int64_t value);
    // The same from text: a value that is not an integer raises
    // "'<value>' is not a valid integer value".
    static uint16_t PortFromText(const std::string& text);

protected:
    TSockClientCoreInterface() = default;

    void* FindInterface(REFIID iid) override;
};
