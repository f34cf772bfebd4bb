#pragma once
// The COM port link (provider "SERIAL_PORT"): one serial port component, its events turned
// into the link's opened, closed, data-received and line-state events.
#include "serial/ScComPort.h"
#include "serial/SerialPortCoreInterface.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class TSerialPortInterface : public TSerialPortCoreInterface {
public:
    static constexpr uint32_t kDefaultBaudRate = 9600;
    static constexpr uint32_t kDefaultBufferSize = 10000000;

    // Inactive, 9600 baud, queues of ten million bytes; then the connection string (for
    // example "COM3", or "comport=3;baudrate=19200").
    explicit TSerialPortInterface(const std::string& connectionString);

    // The port number a connection string names: the "COMPORT" value, else the "PORTNAME"
    // value, else the whole text when it begins with "COM"; the digits after the leading
    // non-digits. None when no digits are found.
    static std::optional<uint64_t> PortNumberOf(const std::string& connectionString);

    bool IsActive() override;
    // Raises the engine's opening errors.
    bool Open() override;
    bool Close() override;
    int32_t Write(const std::string& bytes) override;
    std::string Read() override;
    int32_t ReadLength() override;
    std::string GetID() override;
    void SetValid(bool valid) override;
    bool ExecuteConfigDialog() override;
    bool ConfigDialogAvailable() override;
    std::string GetConnectionString() override;
    void SetConnectionString(const std::string& text) override;

    uint32_t GetBaudRate() override;
    void SetBaudRate(uint32_t rate) override;
    bool GetRTS() override;
    void SetRTS(bool on) override;
    bool GetDTR() override;
    void SetDTR(bool on) override;
    bool GetCTS() override;
    bool GetDSR() override;
    void PurgeRx() override;
    void PurgeTx() override;
    // An open port is closed and opened again on the new number.
    void SetComPort(uint16_t number) override;
    uint16_t GetComPort() override;
    // 4 to 8; other values raise "Range check error".
    uint8_t GetDataBits() override;
    void SetDataBits(uint8_t bits) override;
    uint32_t GetOutBufSize() override;
    // "Port is not closed" while open.
    void SetOutBufSize(uint32_t size) override;
    uint32_t GetInBufSize() override;
    void SetInBufSize(uint32_t size) override;

    std::string ClassName() const override { return "TSerialPortInterface"; }

    // The component, for tests that play engine reports in.
    TScComPort& Port() { return *port_; }

protected:
    // Frees the component without a closed event.
    ~TSerialPortInterface() override;
    // Wakes with the port's arrival signal: at once where the device reports received
    // characters, after at most 1 ms where only its poll can find them.
    bool WaitForNewBytes(uint32_t maxMs) override;

private:
    void BindPortEvents();
    void PortOpened(TScComPort* port);
    void PortClosed(TScComPort* port);
    void PortFailed(TScComPort* port, std::exception_ptr fault);
    void PortDataReceived(TScComPort* port, uint32_t count);
    void CarrierDetectChanged(TScComPort* port);
    void CtsChanged(TScComPort* port);
    void DsrChanged(TScComPort* port);
    void RingDetected(TScComPort* port);

    std::unique_ptr<TScComPort> port_;
    std::string id_;
};
