#pragma once
// Shared base of the serial links (COM port and FTDI converter): the serial settings in
// the connection string and the character-time rule.
#include "CommunicationInterface.h"
#include "ParamSet.h"

#include <cstdint>
#include <string>

// {53964DC4-D815-4EBB-988A-C23C85D0DC66}
inline constexpr GUID IID_ISerialPortInterface = {
    0x53964DC4, 0xD815, 0x4EBB, {0x98, 0x8A, 0xC2, 0x3C, 0x85, 0xD0, 0xDC, 0x66}};

struct ISerialPortInterface : public virtual ICommunicationInterface {
    virtual uint32_t GetBaudRate() = 0;
    // A rate of 0 raises (its character time would divide by zero).
    virtual void SetBaudRate(uint32_t rate) = 0;
    virtual bool GetRTS() = 0;
    virtual void SetRTS(bool on) = 0;
    virtual bool GetDTR() = 0;
    virtual void SetDTR(bool on) = 0;
    virtual bool GetCTS() = 0;
    virtual bool GetDSR() = 0;
    virtual void PurgeRx() = 0;
    virtual void PurgeTx() = 0;
    virtual void SetComPort(uint16_t number) = 0;
    virtual uint16_t GetComPort() = 0;
    virtual uint8_t GetDataBits() = 0;
    virtual void SetDataBits(uint8_t bits) = 0;
    virtual uint32_t GetOutBufSize() = 0;
    virtual void SetOutBufSize(uint32_t size) = 0;
    virtual uint32_t GetInBufSize() = 0;
    virtual void SetInBufSize(uint32_t size) = 0;
};

// Line-state event codes of a serial link (DoChangeEvent).
inline constexpr int32_t kLineCodeCarrierDetect = 0;
inline constexpr int32_t kLineCodeCts = 1;
inline constexpr int32_t kLineCodeDsr = 3;
inline constexpr int32_t kLineCodeRing = 4;

class TSerialPortCoreInterface : public TCommunicationInterface, public virtual ISerialPortInterface {
public:
    // Only the character-time rule: character time := CharTimeMs(rate).
    void SetBaudRate(uint32_t rate) override;
    // "baudrate=..;databits=..;dtr=..;rts=.." after the inherited text.
    std::string GetConnectionString() override;
    // Keys "baudrate", "databits", "dtr", "rts" (each only when present) and "active";
    // announces the change, opens when "active" asks for it, announces once more.
    void SetConnectionString(const std::string& text) override;

protected:
    TSerialPortCoreInterface() = default;

    void* FindInterface(REFIID iid) override;

private:
    void ApplySerialSettings(const TParamSet& settings);
};

// Runs a scope under a link's exchange lock.
class TInterfaceLockScope {
public:
    explicit TInterfaceLockScope(ICommunicationInterface& link) : link_(link) { link_.Lock(); }
    ~TInterfaceLockScope() { link_.Unlock(); }
    TInterfaceLockScope(const TInterfaceLockScope&) = delete;
    TInterfaceLockScope& operator=(const TInterfaceLockScope&) = delete;

private:
    ICommunicationInterface& link_;
};
